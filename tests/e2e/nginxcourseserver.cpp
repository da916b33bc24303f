#include "nginxcourseserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

constexpr int StartTimeoutMs = 20000;

struct Run
{
    bool ok = false;
    QString output; // standard output, or what went wrong
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    const QString command = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
    if (!process.waitForStarted(10000))
        return {false, command + QStringLiteral(" did not start: ") + process.errorString()};
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return {false, command + QStringLiteral(" did not finish")};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {false, command + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError())};
    // Some tools (nginx -V) write what was asked for to stderr.
    return {true, QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError())};
}

// A port nobody listens on right now. nginx binds it a moment later; the
// rare loser of that race is retried by the caller.
int freeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// nginx's own folder for relative includes (mime.types) as it was built.
QString nginxConfigFolder(const QString &nginx)
{
    const Run version = run(nginx, {QStringLiteral("-V")});
    static const QRegularExpression confPath(QStringLiteral("--conf-path=(\\S+)"));
    const auto match = confPath.match(version.output);
    return match.hasMatch() ? QFileInfo(match.captured(1)).path() : QStringLiteral("/etc/nginx");
}

QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

} // namespace

NginxCourseServer::NginxCourseServer() = default;

NginxCourseServer::~NginxCourseServer()
{
    stop();
}

QString NginxCourseServer::program()
{
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    if (!onPath.isEmpty())
        return onPath;
    return QStandardPaths::findExecutable(QStringLiteral("nginx"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
}

bool NginxCourseServer::fail(const QString &reason)
{
    m_error = reason;
    return false;
}

bool NginxCourseServer::start(const QString &documentedConfig, const QString &root)
{
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary folder: ") + m_dir.errorString());
    if (program().isEmpty())
        return fail(QStringLiteral("nginx is not installed"));
    if (!makeCertificate())
        return false;

    const QString mimeTypes = nginxConfigFolder(program()) + QStringLiteral("/mime.types");
    QFile::remove(m_dir.filePath(QStringLiteral("mime.types")));
    if (!QFile::copy(mimeTypes, m_dir.filePath(QStringLiteral("mime.types"))))
        return fail(QStringLiteral("cannot copy ") + mimeTypes);

    for (int attempt = 0; attempt < 3; ++attempt) {
        const int port = freeLoopbackPort();
        if (port == 0)
            return fail(QStringLiteral("no free loopback port"));
        if (!writeConfig(documentedConfig, root, port))
            return false;
        if (launch(port)) {
            m_port = port;
            return true;
        }
        if (!m_error.contains(QLatin1String("Address already in use")))
            return false;
    }
    return false;
}

bool NginxCourseServer::makeCertificate()
{
    // The commands docs/nginx/README.md gives for a self-signed certificate.
    QStringList request = QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 "
                                         "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1")
                              .split(QLatin1Char(' '));
    request << QStringLiteral("-keyout") << m_dir.filePath(QStringLiteral("key.pem")) << QStringLiteral("-out")
            << certificateFile();
    const Run made = run(QStringLiteral("openssl"), request);
    if (!made.ok)
        return fail(made.output);
    const Run printed = run(QStringLiteral("openssl"),
                            QStringLiteral("x509 -noout -fingerprint -sha256 -in").split(QLatin1Char(' '))
                                << certificateFile());
    if (!printed.ok)
        return fail(printed.output);
    // "sha256 Fingerprint=AB:CD:..." (OpenSSL 1.1 wrote "SHA256").
    static const QRegularExpression line(QStringLiteral("Fingerprint=((?:[0-9A-F]{2}:){31}[0-9A-F]{2})"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto match = line.match(printed.output);
    if (!match.hasMatch())
        return fail(QStringLiteral("no fingerprint in: ") + printed.output);
    m_fingerprint = match.captured(1);
    return true;
}

bool NginxCourseServer::writeConfig(const QString &documentedConfig, const QString &root, int port)
{
    QFile documented(documentedConfig);
    if (!documented.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read ") + documentedConfig);
    QString site = QString::fromUtf8(documented.readAll());

    // Only what an administrator edits is replaced; each line must be there
    // exactly once, so a change to the documented file cannot slip past
    // this test unnoticed.
    const QList<std::pair<QString, QString>> edits = {
        {QStringLiteral("listen 443 ssl http2;"), QStringLiteral("listen 127.0.0.1:%1 ssl http2;").arg(port)},
        {QStringLiteral("listen [::]:443 ssl http2;"), QString()},
        {QStringLiteral("/etc/ssl/tamberlyn/course.crt"), quoted(certificateFile())},
        {QStringLiteral("/etc/ssl/tamberlyn/course.key"), quoted(m_dir.filePath(QStringLiteral("key.pem")))},
        {QStringLiteral("/var/log/nginx/tamberlyn-course.access.log"),
         quoted(m_dir.filePath(QStringLiteral("access.log")))},
        {QStringLiteral("root /srv/tamberlyn/course;"), QStringLiteral("root %1;").arg(quoted(root))},
    };
    for (const auto &[from, to] : edits) {
        if (const qsizetype found = site.count(from); found != 1)
            return fail(QStringLiteral("%1 holds \"%2\" %3 times, expected once")
                            .arg(documentedConfig, from)
                            .arg(found));
        site.replace(from, to);
    }

    const QString dir = m_dir.path();
    const QString main = QStringLiteral(
        "# One process: nothing is left behind should the test die, and no\n"
        "# worker user (\"nobody\" when started as root) has to be able to\n"
        "# read the build tree.\n"
        "master_process off;\n"
        "pid \"%1/nginx.pid\";\n"
        "error_log stderr notice;\n"
        "events { worker_connections 64; }\n"
        "http {\n"
        "    # Debian's nginx keeps these under /var/lib/nginx, out of reach\n"
        "    # without root.\n"
        "    client_body_temp_path \"%1/body\";\n"
        "    proxy_temp_path \"%1/proxy\";\n"
        "    fastcgi_temp_path \"%1/fastcgi\";\n"
        "    uwsgi_temp_path \"%1/uwsgi\";\n"
        "    scgi_temp_path \"%1/scgi\";\n"
        "    include \"%1/tamberlyn-course.conf\";\n"
        "}\n").arg(dir);

    QFile siteFile(m_dir.filePath(QStringLiteral("tamberlyn-course.conf")));
    QFile mainFile(m_dir.filePath(QStringLiteral("nginx.conf")));
    if (!siteFile.open(QIODevice::WriteOnly | QIODevice::Truncate) || siteFile.write(site.toUtf8()) < 0
        || !mainFile.open(QIODevice::WriteOnly | QIODevice::Truncate) || mainFile.write(main.toUtf8()) < 0)
        return fail(QStringLiteral("cannot write the nginx configuration in ") + dir);
    return true;
}

bool NginxCourseServer::launch(int port)
{
    m_nginx = std::make_unique<QProcess>();
    m_nginx->setProcessChannelMode(QProcess::MergedChannels);
    m_nginx->start(program(), {QStringLiteral("-p"), m_dir.path() + QLatin1Char('/'), QStringLiteral("-c"),
                               m_dir.filePath(QStringLiteral("nginx.conf")), QStringLiteral("-e"),
                               QStringLiteral("stderr"), QStringLiteral("-g"), QStringLiteral("daemon off;")});
    if (!m_nginx->waitForStarted(10000))
        return fail(QStringLiteral("nginx did not start: ") + m_nginx->errorString());

    // Ready once it accepts a connection; a bad configuration or a taken
    // port ends the process instead.
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_nginx->state() == QProcess::NotRunning)
            return fail(QStringLiteral("nginx ended: ") + QString::fromLocal8Bit(m_nginx->readAll()));
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(port));
        if (probe.waitForConnected(200))
            return true;
        m_nginx->waitForFinished(100);
    }
    const QString said = QString::fromLocal8Bit(m_nginx->readAll());
    stop();
    return fail(QStringLiteral("nginx did not listen on port %1: ").arg(port) + said);
}

void NginxCourseServer::stop()
{
    if (!m_nginx || m_nginx->state() == QProcess::NotRunning)
        return;
    m_nginx->terminate();
    if (!m_nginx->waitForFinished(5000)) {
        m_nginx->kill();
        m_nginx->waitForFinished(5000);
    }
}

QString NginxCourseServer::accessLog() const
{
    QFile log(m_dir.filePath(QStringLiteral("access.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}
