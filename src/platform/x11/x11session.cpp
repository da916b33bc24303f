#include "x11session.h"

#include <QLoggingCategory>

#include <cstdio>

// Xlib last: its macros (None, Bool, Status, ...) clash with Qt's names.
#include <X11/Xlib.h>

namespace Tamberlyn::Platform {

namespace {

Q_LOGGING_CATEGORY(lcSession, "tamberlyn.session", QtInfoMsg)

// Qt takes a list of plugins to try in turn ("wayland;xcb") and options
// after a colon ("xcb:nograb"); the first one is what it will use when it can.
bool namesXcbFirst(const QByteArray &platforms)
{
    const QByteArray first = platforms.split(';').constFirst().split(':').constFirst().trimmed();
    return first == "xcb";
}

bool isWaylandSession(const SessionEnvironment &session)
{
    return !session.waylandDisplay.isEmpty() || session.sessionType == "wayland";
}

} // namespace

SessionEnvironment SessionEnvironment::ofProcess(int argc, char **argv)
{
    SessionEnvironment session{qgetenv("QT_QPA_PLATFORM"), {}, qgetenv("WAYLAND_DISPLAY"),
                               qgetenv("XDG_SESSION_TYPE"), qgetenv("DISPLAY")};
    // Qt reads "-platform" and "--platform" alike; the last one counts.
    for (int i = 1; i + 1 < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-platform" || argument == "--platform")
            session.platformArgument = argv[++i];
    }
    return session;
}

PlatformChoice choosePlatform(const SessionEnvironment &session)
{
    if (!session.platformArgument.isEmpty())
        return {{}, namesXcbFirst(session.platformArgument)};
    if (!session.qpaPlatform.isEmpty())
        return {{}, namesXcbFirst(session.qpaPlatform)};
    // Qt itself would pick its Wayland plugin on such a session; elsewhere
    // its default on this system is xcb already.
    if (isWaylandSession(session))
        return {"xcb", true};
    return {{}, true};
}

QString missingXServerProblem(const SessionEnvironment &session, bool reachable)
{
    if (reachable)
        return {};
    const bool wayland = isWaylandSession(session);
    QString problem = session.display.isEmpty()
        ? QStringLiteral("no X server to show the windows on: DISPLAY is not set.")
        : QStringLiteral("cannot reach the X server on DISPLAY=%1.").arg(QString::fromLocal8Bit(session.display));
    if (wayland) {
        problem += QStringLiteral(
            " On a Wayland session the viewer runs through Xwayland, which finds, places and raises its"
            " windows and the simulators'; turn Xwayland on, or set QT_QPA_PLATFORM=wayland to run"
            " without it (no window can then be brought to the front).");
    }
    return problem;
}

bool preferX11Session(const char *programName, int argc, char **argv)
{
    const SessionEnvironment session = SessionEnvironment::ofProcess(argc, argv);
    const PlatformChoice choice = choosePlatform(session);
    if (!choice.qpaPlatform.isEmpty()) {
        // Set in the environment, not passed as an argument, so that the
        // programs we start (a simulator, the engine's helpers) agree.
        qputenv("QT_QPA_PLATFORM", choice.qpaPlatform);
    }
    if (!choice.needsXServer)
        return true;
    bool reachable = false;
    if (!session.display.isEmpty()) {
        if (Display *display = XOpenDisplay(session.display.constData())) {
            XCloseDisplay(display);
            reachable = true;
        }
    }
    const QString problem = missingXServerProblem(session, reachable);
    if (problem.isEmpty()) {
        if (!choice.qpaPlatform.isEmpty())
            qCInfo(lcSession) << "Wayland session: the windows go through Xwayland on" << session.display;
        return true;
    }
    std::fprintf(stderr, "%s: %s\n", programName, problem.toLocal8Bit().constData());
    return false;
}

} // namespace Tamberlyn::Platform
