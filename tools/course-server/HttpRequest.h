#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>
#include <utility>

// The head (request line and header fields) of one HTTP/1.x request.
struct HttpRequest
{
    QByteArray method;
    QByteArray target; // raw, exactly as sent
    int minorVersion = 1;
    QList<std::pair<QByteArray, QByteArray>> headers; // names lower-cased
    qint64 contentLength = 0;
    bool hasTransferEncoding = false;

    QList<QByteArray> headerValues(QByteArrayView lowerCaseName) const;
    // Whether the client wants the connection kept open after this exchange.
    bool wantsKeepAlive() const;
    // A request body follows the head. This server never reads bodies.
    bool hasBody() const { return hasTransferEncoding || contentLength > 0; }
    // An HTTP/1.1 request names its host in exactly one Host field, and no
    // request may carry two: a proxy and this server could otherwise read
    // different hosts from one request. The value must look like
    // host[:port]; it may be empty, as the protocol allows.
    bool hasValidHost() const;
};

struct RequestHeadParse
{
    enum class Status { Ok, Malformed, UnsupportedVersion };
    Status status = Status::Malformed;
    HttpRequest request;
};

// Length of the request head at the start of buffer, including the empty line
// that ends it, or -1 while that line has not arrived. Lines may end in CRLF or
// a bare LF.
qsizetype findRequestHeadEnd(QByteArrayView buffer);

// Parses a complete head as found by findRequestHeadEnd().
RequestHeadParse parseRequestHead(QByteArrayView head);

// The first two space-separated words of a possibly malformed head, for the
// request log line of a request that could not be parsed ("-" when missing).
std::pair<QByteArray, QByteArray> requestLineWords(QByteArrayView head);
