#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// The server's certificate and key, kept as cert.pem and key.pem in one
// folder. The first run creates a self-signed pair; later runs reuse it, so
// the fingerprint a viewer has pinned stays valid. Files that exist but cannot
// be used are reported, never replaced: they may be the user's own.
class CertificateStore final
{
public:
    explicit CertificateStore(QString directory);

    // Loads the pair, creating it first when neither file exists.
    bool ensure();
    QString errorString() const { return m_error; }

    QList<QSslCertificate> certificateChain() const { return m_chain; }
    QSslKey privateKey() const { return m_key; }
    // SHA-256 of the leaf certificate's DER, upper-case hex pairs joined by ':'.
    QByteArray fingerprint() const;

    QString certificatePath() const;
    QString keyPath() const;

private:
    bool create();
    bool createDirectory();
    bool writeNewFile(const QString &path, const QByteArray &contents, int mode);
    bool load();
    bool fail(const QString &message);

    QString m_directory;
    QString m_error;
    QList<QSslCertificate> m_chain;
    QSslKey m_key;
};
