#include "ServerTlsConfiguration.h"

#include "CertificateStore.h"
#include "ServerLogging.h"

#include <QSslCipher>

QStringList serverTls12CipherNames()
{
    // ECDSA for the certificate this server makes; RSA for one the user
    // put in the certificate folder.
    return {
        QStringLiteral("ECDHE-ECDSA-AES128-GCM-SHA256"), QStringLiteral("ECDHE-RSA-AES128-GCM-SHA256"),
        QStringLiteral("ECDHE-ECDSA-AES256-GCM-SHA384"), QStringLiteral("ECDHE-RSA-AES256-GCM-SHA384"),
        QStringLiteral("ECDHE-ECDSA-CHACHA20-POLY1305"), QStringLiteral("ECDHE-RSA-CHACHA20-POLY1305"),
    };
}

QSslConfiguration serverTlsConfiguration(const CertificateStore &store)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    tls.setLocalCertificateChain(store.certificateChain());
    tls.setPrivateKey(store.privateKey());
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // no client certificates
    // Only HTTP/1.1 is spoken; saying so keeps clients from trying HTTP/2.
    tls.setAllowedNextProtocols({QSslConfiguration::NextProtocolHttp1_1});

    // TLS 1.3 suites are not in this list; OpenSSL keeps its own (all AEAD).
    QList<QSslCipher> ciphers;
    for (const QString &name : serverTls12CipherNames()) {
        const QSslCipher cipher(name);
        if (cipher.isNull())
            qCDebug(lcServer) << "TLS library lacks cipher suite" << name;
        else
            ciphers.append(cipher);
    }
    tls.setCiphers(ciphers);

    // SSL_OP_NO_TICKET: no session state sealed under a ticket key. (In
    // TLS 1.3 OpenSSL still hands out stateful tickets, bare references into
    // the context's session cache that no other connection can use; Qt
    // offers no way to switch those off.)
    tls.setSslOption(QSsl::SslOptionDisableSessionTickets, true);
    return tls;
}
