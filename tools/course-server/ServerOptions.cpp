#include "ServerOptions.h"

#include <QCommandLineParser>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

namespace {

// The end of --help; the manual page lists the same codes.
const char ExitStatusHelp[] =
    "\n"
    "Exit status:\n"
    "  0   stopped by SIGTERM or SIGINT, or --print-fingerprint done\n"
    "  1   could not start (port in use, root missing, certificate unusable)\n"
    "  2   a wrong command line\n";

// Sanity bounds: beyond these a value is a typo, not a choice.
constexpr int kMaxConnectionsLimit = 100000;
constexpr int kMaxHeaderTimeoutSeconds = 3600; // and for --send-timeout

// A whole number from 1 to most, or nothing.
std::optional<int> boundedNumber(const QString &text, int most)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > most)
        return std::nullopt;
    return value;
}

QString defaultCertificateDirectory()
{
    // $XDG_DATA_HOME, or ~/.local/share when it is unset.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/tamberlyn-course-server");
}

} // namespace

std::optional<ServerOptions> parseServerOptions(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves a course folder over HTTPS on the local machine.\n"
        "Prints the certificate fingerprint and the address it listens on, then one line "
        "per request: METHOD PATH STATUS."));
    // Our own help option: Qt's would add --help-all, which lists options
    // of Qt's that a server without windows does not have.
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show the options and the exit codes, and exit."));
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and exit."));
    parser.addOptions({helpOption, versionOption});
    const QCommandLineOption rootOption(QStringLiteral("root"),
                                        QStringLiteral("Course folder served as the web root."),
                                        QStringLiteral("dir"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("TCP port; 0 picks a free one (default 8443)."),
                                        QStringLiteral("n"), QStringLiteral("8443"));
    const QCommandLineOption listenOption(QStringLiteral("listen"),
                                          QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                          QStringLiteral("addr"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption certDirOption(
        QStringLiteral("cert-dir"),
        QStringLiteral("Folder holding cert.pem and key.pem, created on first use "
                       "(default $XDG_DATA_HOME/tamberlyn-course-server)."),
        QStringLiteral("dir"));
    const QCommandLineOption fingerprintOption(
        QStringLiteral("print-fingerprint"),
        QStringLiteral("Create the certificate if needed, print its fingerprint and exit."));
    const ConnectionLimits defaults;
    const QCommandLineOption maxConnectionsOption(
        QStringLiteral("max-connections"),
        QStringLiteral("Connections served at once; more clients wait until one closes (default %1).")
            .arg(defaults.maxConnections),
        QStringLiteral("n"), QString::number(defaults.maxConnections));
    const QCommandLineOption headerTimeoutOption(
        QStringLiteral("header-timeout"),
        QStringLiteral("Seconds a client has for the TLS handshake and for each whole request head; "
                       "an idle connection is closed after as long (default %1).")
            .arg(defaults.headerTimeoutMs / 1000),
        QStringLiteral("seconds"), QString::number(defaults.headerTimeoutMs / 1000));
    const QCommandLineOption sendTimeoutOption(
        QStringLiteral("send-timeout"),
        QStringLiteral("Seconds a client may take nothing of what is sent to it before it is dropped "
                       "(default %1).")
            .arg(defaults.sendStallTimeoutMs / 1000),
        QStringLiteral("seconds"), QString::number(defaults.sendStallTimeoutMs / 1000));
    parser.addOptions({rootOption, portOption, listenOption, certDirOption, fingerprintOption, maxConnectionsOption,
                       headerTimeoutOption, sendTimeoutOption});

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText() + QLatin1String(ExitStatusHelp)), stdout);
        std::exit(0);
    }
    if (parser.isSet(versionOption))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().constFirst());
        return std::nullopt;
    }

    ServerOptions options;
    options.printFingerprintOnly = parser.isSet(fingerprintOption);
    options.root = parser.value(rootOption);
    if (options.root.isEmpty() && !options.printFingerprintOnly) {
        *error = QStringLiteral("--root is required");
        return std::nullopt;
    }

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        *error = QStringLiteral("invalid port: %1").arg(parser.value(portOption));
        return std::nullopt;
    }
    options.port = static_cast<quint16>(port);

    if (!options.listenAddress.setAddress(parser.value(listenOption))) {
        *error = QStringLiteral("invalid listen address: %1").arg(parser.value(listenOption));
        return std::nullopt;
    }

    const std::optional<int> maxConnections = boundedNumber(parser.value(maxConnectionsOption), kMaxConnectionsLimit);
    if (!maxConnections) {
        *error = QStringLiteral("invalid --max-connections: %1 (1 to %2)")
                     .arg(parser.value(maxConnectionsOption), QString::number(kMaxConnectionsLimit));
        return std::nullopt;
    }
    options.limits.maxConnections = *maxConnections;

    const std::optional<int> headerTimeout =
        boundedNumber(parser.value(headerTimeoutOption), kMaxHeaderTimeoutSeconds);
    if (!headerTimeout) {
        *error = QStringLiteral("invalid --header-timeout: %1 (1 to %2 seconds)")
                     .arg(parser.value(headerTimeoutOption), QString::number(kMaxHeaderTimeoutSeconds));
        return std::nullopt;
    }
    options.limits.headerTimeoutMs = *headerTimeout * 1000;

    const std::optional<int> sendTimeout = boundedNumber(parser.value(sendTimeoutOption), kMaxHeaderTimeoutSeconds);
    if (!sendTimeout) {
        *error = QStringLiteral("invalid --send-timeout: %1 (1 to %2 seconds)")
                     .arg(parser.value(sendTimeoutOption), QString::number(kMaxHeaderTimeoutSeconds));
        return std::nullopt;
    }
    options.limits.sendStallTimeoutMs = *sendTimeout * 1000;

    options.certificateDirectory = parser.isSet(certDirOption) ? parser.value(certDirOption)
                                                               : defaultCertificateDirectory();
    if (options.certificateDirectory.isEmpty()) {
        *error = QStringLiteral("no certificate folder: pass --cert-dir");
        return std::nullopt;
    }
    return options;
}
