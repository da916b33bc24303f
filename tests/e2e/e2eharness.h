#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpressionMatch>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// Runs the real programs for end-to-end tests: a private X server of a
// chosen size, the course server on the demo course, and viewer processes
// pointed at it. Everything started here is stopped by the destructor.
class E2eHarness final
{
    Q_DISABLE_COPY_MOVE(E2eHarness)

public:
    E2eHarness();
    ~E2eHarness();

    // Each returns false with the reason in error().
    bool startDisplay(QSize screen, bool withWindowManager = false);
    // As above, under the named window manager: "openbox", or "xfwm4"
    // (Xfce's, on a session bus of its own, without its compositor).
    // Waits until the window manager has announced itself on the root window.
    bool startDisplay(QSize screen, const QString &windowManager);
    // Why the named window manager cannot run here; empty when it can.
    static QString windowManagerUnavailable(const QString &windowManager);
    // Serves `root` (the demo course when empty).
    bool startCourseServer(const QString &root = {});
    void stopCourseServer();
    // The same course on the same port again, with a certificate of its own
    // when `newCertificate` (the viewer's pin then no longer matches).
    bool restartCourseServer(bool newCertificate);
    // Makes the course server's certificate and settles its port without
    // starting it, so a viewer can be pointed at a server that starts
    // later; startCourseServer() then listens on that port.
    bool prepareCourseServer(int port);

    // Why a Wayland session cannot be had here (weston or Xwayland not
    // installed); empty when it can.
    static QString waylandUnavailable();
    // A Wayland desktop in place of the X server: weston's headless backend
    // with Xwayland, in a runtime folder and on a socket of its own. The X
    // display is the one weston opens for Xwayland; X clients (xdotool, the
    // viewer on X11) use it. Weston's headless backend has no seat, and
    // Xwayland ends on synthetic pointer input without one, so nothing may
    // move or click the pointer there.
    bool startWaylandSession(QSize screen);
    QString waylandDisplay() const { return m_waylandDisplay; }

    // Environment for a viewer: the display, private data and config
    // folders, the course host and its pin (override the pin with
    // TAMBERLYN_COURSE_PIN to test refusal), page-load logging switched on.
    // In a Wayland session it names the session as a desktop does and
    // leaves the platform plugin to the viewer; otherwise it asks for xcb.
    QProcessEnvironment viewerEnvironment() const;
    // Starts a viewer (this build's, unless `program` names another); its
    // merged output is collected in output(viewer).
    QProcess *startViewer(const QStringList &arguments = {},
                          const QProcessEnvironment &environment = {}, const QString &program = {});
    // Starts the viewer through `wrapper` (a program and its arguments, the
    // viewer's path appended), as `unshare -m sh -c ...` runs it.
    QProcess *startViewerThrough(const QStringList &wrapper, const QProcessEnvironment &environment);

    // Waits until `text` appears in the process's output.
    static bool waitForOutput(QProcess *process, const QString &text, int timeoutMs);
    static QString output(QProcess *process);
    // Waits for the first match of `pattern` in the process's output after
    // its first `after` characters; nothing if none came in time or the
    // process ended.
    static std::optional<QRegularExpressionMatch> waitForMatch(QProcess *process, const QString &pattern,
                                                               qsizetype after, int timeoutMs);
    // The viewer's own log lines ("tamberlyn.*") of output(): for failure
    // messages, which the engine's start-up report would otherwise fill.
    static QString viewerLines(QProcess *process);
    // Waits until `text` appears in the server's request log.
    bool waitForServerLog(const QString &text, int timeoutMs);
    QString serverLog() const;

    // Runs an X client program (xdotool, wmctrl, xprop) against the private
    // display and waits for it; its standard output goes to `output`. False
    // with the reason in error() when it fails to start, times out or exits
    // with an error.
    bool runOnDisplay(const QString &program, const QStringList &arguments, QString *output = nullptr,
                      int timeoutMs = 10000);

    // The first visible window whose name matches `namePattern` (a regular
    // expression, as xdotool takes it); empty when none shows in time.
    QString findWindow(const QString &namePattern, int timeoutMs = 10000);
    // The first visible window of `process`; empty when none shows in time
    // or the process ends first.
    QString findWindowOf(const QProcess &process, int timeoutMs = 60000);
    // Clicks button `index` (0 = Contents … 9 = Section) of the main window's bar.
    bool clickBarButton(const QString &window, int index);

    QString courseHost() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString fileLocn() const { return QStringLiteral("https://") + courseHost() + QStringLiteral("/kq_cbt/kq/"); }
    QString fingerprint() const { return m_fingerprint; }
    // Where the course server keeps cert.pem and key.pem.
    QString certificateFolder() const { return m_home.path() + QStringLiteral("/cert"); }
    QString dataHome() const { return m_home.path() + QStringLiteral("/data"); }
    // XDG_CONFIG_HOME of the viewers: the settings file is
    // configHome()/Marrowick/Tamberlyn.ini.
    QString configHome() const { return m_home.path() + QStringLiteral("/config"); }
    QString dornDir() const { return dataHome() + QStringLiteral("/Marrowick/KQ/"); }
    QString display() const { return m_display; }
    QString error() const { return m_error; }

private:
    bool fail(const QString &reason);
    bool startWindowManager(const QString &windowManager);
    static void stop(QProcess *process);

    QTemporaryDir m_home;
    std::unique_ptr<QProcess> m_xserver;
    std::unique_ptr<QProcess> m_compositor;
    std::unique_ptr<QProcess> m_windowManager;
    std::unique_ptr<QProcess> m_sessionBus; // xfwm4's
    std::unique_ptr<QProcess> m_server;
    std::vector<std::unique_ptr<QProcess>> m_viewers;
    QString m_display;
    QString m_waylandDisplay;
    QString m_fingerprint;
    QString m_root;
    int m_port = 0;
    QString m_error;
};
