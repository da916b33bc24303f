#include "engineloadfailure.h"

namespace Tamberlyn::Platform {

namespace {

using Kind = LoadFailure::Kind;

// The engine's network error numbers that the viewer tells apart; the rest
// are sorted by their domain or become Other.
struct NetError
{
    int code;
    Kind kind;
};

constexpr NetError NetErrors[] = {
    {-3, Kind::Aborted},             // ERR_ABORTED
    {-7, Kind::TimedOut},            // ERR_TIMED_OUT
    {-100, Kind::ConnectionLost},    // ERR_CONNECTION_CLOSED
    {-101, Kind::ConnectionLost},    // ERR_CONNECTION_RESET
    {-102, Kind::Refused},           // ERR_CONNECTION_REFUSED
    {-103, Kind::ConnectionLost},    // ERR_CONNECTION_ABORTED
    {-104, Kind::Unreachable},       // ERR_CONNECTION_FAILED
    {-105, Kind::HostNotFound},      // ERR_NAME_NOT_RESOLVED
    {-106, Kind::Unreachable},       // ERR_INTERNET_DISCONNECTED
    {-107, Kind::SecureConnection},  // ERR_SSL_PROTOCOL_ERROR
    {-108, Kind::BlockedAddress},    // ERR_ADDRESS_INVALID
    {-109, Kind::Unreachable},       // ERR_ADDRESS_UNREACHABLE
    {-113, Kind::SecureConnection},  // ERR_SSL_VERSION_OR_CIPHER_MISMATCH
    {-118, Kind::TimedOut},          // ERR_CONNECTION_TIMED_OUT
    {-137, Kind::HostNotFound},      // ERR_NAME_RESOLUTION_FAILED
    {-300, Kind::BlockedAddress},    // ERR_INVALID_URL
    {-301, Kind::BlockedAddress},    // ERR_DISALLOWED_URL_SCHEME
    {-312, Kind::BlockedAddress},    // ERR_UNSAFE_PORT
    {-320, Kind::ConnectionLost},    // ERR_INVALID_RESPONSE
    {-324, Kind::ConnectionLost},    // ERR_EMPTY_RESPONSE
};

Kind kindOf(QWebEngineLoadingInfo::ErrorDomain domain, int code, const QString &errorString)
{
    switch (domain) {
    case QWebEngineLoadingInfo::HttpStatusCodeDomain:
        // The domain carries successes too; only an error status is a failure.
        return code >= 400 ? Kind::HttpStatus : Kind::Other;
    case QWebEngineLoadingInfo::CertificateErrorDomain:
        return Kind::Certificate;
    case QWebEngineLoadingInfo::DnsErrorDomain:
        return Kind::HostNotFound;
    default:
        break;
    }
    for (const NetError &error : NetErrors) {
        if (error.code == code)
            return error.kind;
    }
    // Every TLS failure the list above does not name has "SSL" in its name.
    if (errorString.contains(QLatin1String("ERR_SSL_")))
        return Kind::SecureConnection;
    return Kind::Other;
}

} // namespace

LoadFailure engineLoadFailure(QWebEngineLoadingInfo::ErrorDomain domain, int code, const QString &errorString)
{
    LoadFailure failure;
    failure.kind = kindOf(domain, code, errorString);
    failure.code = code;
    // For an HTTP status the engine's text is a page template, not a name.
    if (domain != QWebEngineLoadingInfo::HttpStatusCodeDomain)
        failure.engineText = errorString;
    return failure;
}

} // namespace Tamberlyn::Platform
