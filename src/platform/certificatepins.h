#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

class QSslCertificate;
class QUrl;

namespace Tamberlyn::Platform {

// The one exception to normal certificate checking: a server whose
// certificate's SHA-256 fingerprint equals the one configured for its host
// and port is trusted although no authority signed it. Nothing else is.
class CertificatePins final
{
public:
    // Accepts 64 hex digits, optionally separated by colons, any letter
    // case. Gives the 32 raw bytes, or nothing when the text is malformed.
    static std::optional<QByteArray> parseFingerprint(const QString &text);
    static QString formatFingerprint(const QByteArray &sha256);
    static QByteArray fingerprintOf(const QSslCertificate &certificate);

    // `authority` is "host" or "host:port" as in an https address; false
    // when it is not a usable authority.
    bool pin(const QString &authority, const QByteArray &sha256);
    bool accepts(const QUrl &url, const QSslCertificate &leaf) const;
    bool isEmpty() const { return m_pins.isEmpty(); }

private:
    static QString keyOf(const QUrl &url);

    QHash<QString, QByteArray> m_pins;
};

} // namespace Tamberlyn::Platform
