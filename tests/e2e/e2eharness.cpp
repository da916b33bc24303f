#include "e2eharness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

E2eHarness::E2eHarness() = default;

E2eHarness::~E2eHarness()
{
    for (auto &viewer : m_viewers)
        stop(viewer.get());
    stop(m_windowManager.get());
    stop(m_sessionBus.get());
    stop(m_server.get());
    stop(m_xserver.get());
    stop(m_compositor.get());
}

bool E2eHarness::fail(const QString &reason)
{
    m_error = reason;
    return false;
}

void E2eHarness::stop(QProcess *process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(5000)) {
        process->kill();
        process->waitForFinished(5000);
    }
}

bool E2eHarness::startDisplay(QSize screen, bool withWindowManager)
{
    // -displayfd picks a free display number and writes it to our stdout.
    m_xserver = std::make_unique<QProcess>();
    m_xserver->setProcessChannelMode(QProcess::SeparateChannels);
    m_xserver->start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()),
                      QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_xserver->waitForStarted(10000))
        return fail(QStringLiteral("Xvfb did not start: ") + m_xserver->errorString());
    const QDeadlineTimer deadline(20000);
    while (!m_xserver->canReadLine()) {
        if (deadline.hasExpired() || !m_xserver->waitForReadyRead(int(deadline.remainingTime())))
            return fail(QStringLiteral("Xvfb gave no display number: ")
                        + QString::fromLocal8Bit(m_xserver->readAllStandardError()));
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(m_xserver->readLine().trimmed());

    if (withWindowManager) {
        m_windowManager = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        m_windowManager->setProcessEnvironment(env);
        m_windowManager->start(QStringLiteral("openbox"), {});
        if (!m_windowManager->waitForStarted(10000))
            return fail(QStringLiteral("openbox did not start"));
    }
    return true;
}

QString E2eHarness::windowManagerUnavailable(const QString &windowManager)
{
    const QStringList programs = windowManager == QLatin1String("xfwm4")
                                     ? QStringList{QStringLiteral("xfwm4"), QStringLiteral("dbus-daemon")}
                                     : QStringList{windowManager};
    for (const QString &program : programs) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return program + QStringLiteral(" is not installed");
    }
    return {};
}

bool E2eHarness::startDisplay(QSize screen, const QString &windowManager)
{
    if (const QString missing = windowManagerUnavailable(windowManager); !missing.isEmpty())
        return fail(missing);
    if (!startDisplay(screen, false))
        return false;
    // A window manager (or xfwm4's session bus) that ends at once on a
    // crowded machine gets one more go.
    for (int attempt = 1;; ++attempt) {
        if (startWindowManager(windowManager))
            return true;
        if (attempt == 2)
            return false;
        qWarning().noquote() << m_error << "- starting it again";
        stop(m_windowManager.get());
        stop(m_sessionBus.get());
    }
}

bool E2eHarness::startWindowManager(const QString &windowManager)
{
    m_windowManager = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    // Its settings daemon writes where the viewers' settings live, not in
    // the user's own folder.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.path() + QStringLiteral("/wm-config"));
    m_windowManager->setProcessEnvironment(env);
    m_windowManager->setProcessChannelMode(QProcess::MergedChannels);
    m_windowManager->setStandardOutputFile(m_home.path() + QStringLiteral("/wm.log"));
    if (windowManager == QLatin1String("xfwm4")) {
        // xfwm4 reads its settings over D-Bus (xfconf) and gives up without
        // a bus: a session bus of the test's own, ended with it, and with it
        // the settings daemon it starts. No accessibility bus is wanted.
        m_sessionBus = std::make_unique<QProcess>();
        m_sessionBus->start(QStringLiteral("dbus-daemon"),
                            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_sessionBus->waitForStarted(10000) || !m_sessionBus->waitForReadyRead(10000))
            return fail(QStringLiteral("no session bus for xfwm4"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(m_sessionBus->readLine().trimmed()));
        env.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
        m_windowManager->setProcessEnvironment(env);
        m_windowManager->start(QStringLiteral("xfwm4"), {QStringLiteral("--compositor=off")});
    } else {
        m_windowManager->start(windowManager, {});
    }
    if (!m_windowManager->waitForStarted(10000))
        return fail(windowManager + QStringLiteral(" did not start"));
    const QDeadlineTimer deadline(30000);
    for (;;) {
        QString check;
        runOnDisplay(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")},
                     &check);
        if (check.contains(QLatin1String("window id")))
            return true;
        if (deadline.hasExpired() || m_windowManager->state() != QProcess::Running)
            return fail(windowManager + QStringLiteral(" did not take the screen; its log is in ") + m_home.path()
                        + QStringLiteral("/wm.log"));
        QTest::qWait(100);
    }
}

QString E2eHarness::waylandUnavailable()
{
    for (const char *program : {"weston", "Xwayland"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            return QLatin1String(program) + QStringLiteral(" is not installed (Debian: weston, xwayland)");
    }
    return {};
}

bool E2eHarness::startWaylandSession(QSize screen)
{
    // Weston puts Xwayland's socket where every X server puts its own; on a
    // machine that never ran one the folder is missing, and weston fails.
    if (!QFileInfo(QStringLiteral("/tmp/.X11-unix")).isDir()
        && (::mkdir("/tmp/.X11-unix", 01777) != 0 || ::chmod("/tmp/.X11-unix", 01777) != 0))
        return fail(QStringLiteral("cannot make /tmp/.X11-unix for Xwayland's socket"));

    const QString runtime = m_home.path() + QStringLiteral("/runtime");
    if (!QDir().mkpath(runtime) || !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return fail(QStringLiteral("cannot make the runtime folder ") + runtime);
    m_waylandDisplay = QStringLiteral("tamberlyn-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const QString log = m_home.path() + QStringLiteral("/weston.log");

    m_compositor = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Weston would otherwise nest itself in whatever display is around
    // (xvfb-run's, in CI) instead of standing alone.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    m_compositor->setProcessEnvironment(env);
    m_compositor->setStandardOutputFile(QProcess::nullDevice());
    m_compositor->setStandardErrorFile(m_home.path() + QStringLiteral("/weston.stderr"));
    m_compositor->start(QStringLiteral("weston"),
                        {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                         QStringLiteral("--xwayland"), QStringLiteral("--no-config"), QStringLiteral("--idle-time=0"),
                         QStringLiteral("--socket=") + m_waylandDisplay,
                         QStringLiteral("--width=%1").arg(screen.width()),
                         QStringLiteral("--height=%1").arg(screen.height()), QStringLiteral("--log=") + log});
    if (!m_compositor->waitForStarted(10000))
        return fail(QStringLiteral("weston did not start: ") + m_compositor->errorString());

    // Weston opens the X display at once and starts Xwayland behind it on
    // the first X client; it names the display in its log.
    static const QRegularExpression listening(QStringLiteral("xserver listening on display (:\\d+)"));
    const QDeadlineTimer deadline(20000);
    while (m_display.isEmpty()) {
        QFile file(log);
        if (file.open(QIODevice::ReadOnly)) {
            if (const auto match = listening.match(QString::fromUtf8(file.readAll())); match.hasMatch())
                m_display = match.captured(1);
        }
        if (m_display.isEmpty()) {
            if (deadline.hasExpired() || m_compositor->state() == QProcess::NotRunning)
                return fail(QStringLiteral("weston opened no X display; its log is in ") + log);
            QTest::qWait(50);
        }
    }
    return true;
}

bool E2eHarness::startCourseServer(const QString &root)
{
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    const int port = m_port;
    m_port = 0;
    m_root = root.isEmpty() ? QStringLiteral(TAMBERLYN_DEMO_SITE) : root;
    m_server->start(QStringLiteral(TAMBERLYN_COURSE_SERVER),
                    {QStringLiteral("--root"), m_root, QStringLiteral("--port"), QString::number(port),
                     QStringLiteral("--cert-dir"), certificateFolder()});
    if (!m_server->waitForStarted(10000))
        return fail(QStringLiteral("course server did not start"));

    static const QRegularExpression fingerprintLine(QStringLiteral("^certificate SHA-256 fingerprint: ([0-9A-F:]{95})$"));
    static const QRegularExpression listeningLine(QStringLiteral("^listening on https://127\\.0\\.0\\.1:(\\d+)/$"));
    const QDeadlineTimer deadline(20000);
    while (m_port == 0) {
        if (!m_server->canReadLine()
            && (deadline.hasExpired() || !m_server->waitForReadyRead(int(deadline.remainingTime())))) {
            return fail(QStringLiteral("course server did not start listening: ")
                        + QString::fromLocal8Bit(m_server->readAllStandardError()));
        }
        while (m_server->canReadLine()) {
            const QString line = QString::fromUtf8(m_server->readLine()).trimmed();
            if (const auto match = fingerprintLine.match(line); match.hasMatch())
                m_fingerprint = match.captured(1);
            if (const auto match = listeningLine.match(line); match.hasMatch())
                m_port = match.captured(1).toInt();
        }
    }
    if (m_fingerprint.isEmpty())
        return fail(QStringLiteral("course server printed no fingerprint"));
    return true;
}

void E2eHarness::stopCourseServer()
{
    stop(m_server.get());
}

bool E2eHarness::restartCourseServer(bool newCertificate)
{
    stopCourseServer();
    // The server makes a certificate of its own where it finds none.
    if (newCertificate && !QDir(certificateFolder()).removeRecursively())
        return fail(QStringLiteral("cannot remove ") + certificateFolder());
    return startCourseServer(m_root);
}

bool E2eHarness::prepareCourseServer(int port)
{
    QProcess server;
    server.start(QStringLiteral(TAMBERLYN_COURSE_SERVER), {QStringLiteral("--print-fingerprint"),
                                                           QStringLiteral("--cert-dir"),
                                                           m_home.path() + QStringLiteral("/cert")});
    if (!server.waitForFinished(20000) || server.exitCode() != 0) {
        return fail(QStringLiteral("course server made no certificate: ")
                    + QString::fromLocal8Bit(server.readAllStandardError()));
    }
    static const QRegularExpression fingerprintLine(QStringLiteral("fingerprint: ([0-9A-F:]{95})"));
    const auto match = fingerprintLine.match(QString::fromUtf8(server.readAllStandardOutput()));
    if (!match.hasMatch())
        return fail(QStringLiteral("course server printed no fingerprint"));
    m_fingerprint = match.captured(1);
    m_port = port;
    return true;
}

QProcessEnvironment E2eHarness::viewerEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    if (m_waylandDisplay.isEmpty()) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    } else {
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_waylandDisplay);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path() + QStringLiteral("/runtime"));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    }
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    env.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.path() + QStringLiteral("/cache"));
    env.insert(QStringLiteral("TAMBERLYN_COURSE_HOST"), courseHost());
    env.insert(QStringLiteral("TAMBERLYN_COURSE_PIN"), m_fingerprint);
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("tamberlyn.*.info=true"));
    // The engine's sandbox cannot run as root, which is how CI runs.
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
    return env;
}

QProcess *E2eHarness::startViewer(const QStringList &arguments, const QProcessEnvironment &environment,
                                  const QString &program)
{
    auto viewer = std::make_unique<QProcess>();
    viewer->setProcessChannelMode(QProcess::MergedChannels);
    viewer->setProcessEnvironment(environment.isEmpty() ? viewerEnvironment() : environment);
    viewer->start(program.isEmpty() ? QStringLiteral(TAMBERLYN_VIEWER) : program, arguments);
    viewer->waitForStarted(10000);
    m_viewers.push_back(std::move(viewer));
    return m_viewers.back().get();
}

QProcess *E2eHarness::startViewerThrough(const QStringList &wrapper, const QProcessEnvironment &environment)
{
    auto viewer = std::make_unique<QProcess>();
    viewer->setProcessChannelMode(QProcess::MergedChannels);
    viewer->setProcessEnvironment(environment);
    viewer->start(wrapper.value(0), wrapper.mid(1) << QStringLiteral(TAMBERLYN_VIEWER));
    viewer->waitForStarted(10000);
    m_viewers.push_back(std::move(viewer));
    return m_viewers.back().get();
}

QString E2eHarness::output(QProcess *process)
{
    // Kept on the process itself so repeated waits see everything read so far.
    QString seen = process->property("seen").toString() + QString::fromLocal8Bit(process->readAll());
    process->setProperty("seen", seen);
    return seen;
}

QString E2eHarness::viewerLines(QProcess *process)
{
    QStringList lines;
    for (const QString &line : output(process).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("tamberlyn.")))
            lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

bool E2eHarness::waitForOutput(QProcess *process, const QString &text, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!output(process).contains(text)) {
        if (deadline.hasExpired() || process->state() == QProcess::NotRunning)
            return output(process).contains(text);
        process->waitForReadyRead(int(qMin<qint64>(200, qMax<qint64>(1, deadline.remainingTime()))));
    }
    return true;
}

std::optional<QRegularExpressionMatch> E2eHarness::waitForMatch(QProcess *process, const QString &pattern,
                                                                 qsizetype after, int timeoutMs)
{
    const QRegularExpression expression(pattern);
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (const auto match = expression.match(output(process), after); match.hasMatch())
            return match;
        if (deadline.hasExpired() || process->state() != QProcess::Running)
            return std::nullopt;
        process->waitForReadyRead(100);
    }
}

QString E2eHarness::serverLog() const
{
    // Whatever the server has written so far, without waiting for more.
    while (m_server->waitForReadyRead(50)) {
    }
    QString seen = m_server->property("seen").toString() + QString::fromUtf8(m_server->readAllStandardOutput());
    m_server->setProperty("seen", seen);
    return seen;
}

bool E2eHarness::waitForServerLog(const QString &text, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!serverLog().contains(text)) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(100);
    }
    return true;
}

bool E2eHarness::runOnDisplay(const QString &program, const QStringList &arguments, QString *output, int timeoutMs)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    // xprop escapes text outside the locale's character set; window titles
    // are UTF-8 and should come back as they are.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    tool.setProcessEnvironment(env);
    tool.setProcessChannelMode(QProcess::SeparateChannels);
    tool.start(program, arguments);
    const QString command = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
    if (!tool.waitForStarted(timeoutMs))
        return fail(command + QStringLiteral(" did not start: ") + tool.errorString());
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished(5000);
        return fail(command + QStringLiteral(" did not finish"));
    }
    if (output)
        *output = QString::fromUtf8(tool.readAllStandardOutput());
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return fail(command + QStringLiteral(" failed (exit code %1): ").arg(tool.exitCode())
                    + QString::fromLocal8Bit(tool.readAllStandardError()));
    return true;
}

QString E2eHarness::findWindow(const QString &namePattern, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        QString found;
        runOnDisplay(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                 QStringLiteral("--name"), namePattern},
                     &found, 5000);
        found = found.section(QLatin1Char('\n'), 0, 0).trimmed();
        if (!found.isEmpty() || deadline.hasExpired())
            return found;
        QTest::qWait(100);
    }
}

QString E2eHarness::findWindowOf(const QProcess &process, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (process.state() == QProcess::Running) {
        QString found;
        runOnDisplay(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                 QStringLiteral("--pid"), QString::number(process.processId())},
                     &found, 5000);
        found = found.section(QLatin1Char('\n'), 0, 0).trimmed();
        if (!found.isEmpty() || deadline.hasExpired())
            return found;
        QTest::qWait(100);
    }
    return {};
}

bool E2eHarness::clickBarButton(const QString &window, int index)
{
    // Buttons are 65 x 19 pixels, 66 apart, from (3, 2).
    return runOnDisplay(QStringLiteral("xdotool"),
                        {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                         QString::number(3 + 66 * index + 32), QStringLiteral("11"), QStringLiteral("click"),
                         QStringLiteral("1")});
}
