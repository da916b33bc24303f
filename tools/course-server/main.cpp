#include "CertificateStore.h"
#include "CourseServer.h"
#include "RequestLog.h"
#include "ServerOptions.h"
#include "UnixSignalQuitter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSslConfiguration>
#include <QSslSocket>

#include <csignal>
#include <cstdio>

namespace {

int failStartup(const QString &message)
{
    std::fprintf(stderr, "tamberlyn-course-server: %s\n", message.toLocal8Bit().constData());
    return 1;
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
    return tls;
}

QString urlHost(const QHostAddress &address)
{
    return address.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + address.toString() + u']'
                                                                : address.toString();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tamberlyn-course-server"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAMBERLYN_VERSION));
    // A closed stdout or a vanished client must not kill the server: writes
    // then fail with EPIPE instead.
    std::signal(SIGPIPE, SIG_IGN);

    QString error;
    const std::optional<ServerOptions> options = parseServerOptions(QCoreApplication::arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "tamberlyn-course-server: %s\nTry --help.\n", error.toLocal8Bit().constData());
        return 2;
    }

    QString canonicalRoot;
    if (!options->printFingerprintOnly) {
        const QFileInfo root(options->root);
        if (!root.exists())
            return failStartup(QStringLiteral("root folder %1 does not exist").arg(options->root));
        if (!root.isDir())
            return failStartup(QStringLiteral("root %1 is not a folder").arg(options->root));
        canonicalRoot = root.canonicalFilePath();
    }

    if (!QSslSocket::supportsSsl())
        return failStartup(QStringLiteral("no TLS support available (is libssl installed?)"));

    CertificateStore store(options->certificateDirectory);
    if (!store.ensure())
        return failStartup(store.errorString());
    writeStdoutLine(QByteArray("certificate SHA-256 fingerprint: " + store.fingerprint()));
    if (options->printFingerprintOnly)
        return 0;

    UnixSignalQuitter quitter;
    if (!quitter.install())
        return 1;

    CourseServer server(canonicalRoot, serverTlsConfiguration(store));
    if (!server.listen(options->listenAddress, options->port)) {
        return failStartup(QStringLiteral("cannot listen on %1:%2: %3")
                               .arg(urlHost(options->listenAddress))
                               .arg(options->port)
                               .arg(server.errorString()));
    }
    writeStdoutLine(QByteArray("listening on https://" + urlHost(server.serverAddress()).toLatin1() + ':'
                               + QByteArray::number(server.serverPort()) + '/'));
    return QCoreApplication::exec();
}
