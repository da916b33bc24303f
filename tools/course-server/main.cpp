#include "CertificateStore.h"
#include "CourseServer.h"
#include "RequestLog.h"
#include "RootFileOpener.h"
#include "ServerOptions.h"
#include "ServerTlsConfiguration.h"
#include "UnixSignalQuitter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSslSocket>

#include <csignal>
#include <cstdio>

namespace {

int failStartup(const QString &message)
{
    std::fprintf(stderr, "tamberlyn-course-server: %s\n", message.toLocal8Bit().constData());
    return 1;
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

    auto root = std::make_shared<RootFileOpener>();
    if (!options->printFingerprintOnly) {
        const QFileInfo rootInfo(options->root);
        if (!rootInfo.exists())
            return failStartup(QStringLiteral("root folder %1 does not exist").arg(options->root));
        if (!rootInfo.isDir())
            return failStartup(QStringLiteral("root %1 is not a folder").arg(options->root));
        // Held open from here on: files are found below this handle, so a
        // root replaced later changes nothing.
        if (!root->openRoot(options->root))
            return failStartup(root->errorString());
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

    CourseServer server(root, serverTlsConfiguration(store), options->limits);
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
