#pragma once

#include <QByteArray>
#include <QString>

namespace Tamberlyn::Platform {

// What decides Qt's platform plugin, read before the application exists.
struct SessionEnvironment
{
    QByteArray qpaPlatform;        // QT_QPA_PLATFORM
    QByteArray platformArgument;   // -platform NAME on the command line
    QByteArray waylandDisplay;     // WAYLAND_DISPLAY
    QByteArray sessionType;        // XDG_SESSION_TYPE
    QByteArray display;            // DISPLAY

    static SessionEnvironment ofProcess(int argc, char **argv);
};

struct PlatformChoice
{
    // The value to put into QT_QPA_PLATFORM; empty leaves Qt's own choice.
    QByteArray qpaPlatform;
    // True when the windows will be X11 windows, so an X server must answer.
    bool needsXServer = false;
};

// Finding other programs' windows, placing ours and polling the pointer
// anywhere on the screen all go through X11; a Wayland client can do none of
// them. On a Wayland session the viewer therefore runs on Xwayland unless
// the user named a platform, which always wins.
PlatformChoice choosePlatform(const SessionEnvironment &session);

// Why no X server can be used, with what to do about it; empty when one can.
// `reachable` is whether a connection to $DISPLAY succeeded.
QString missingXServerProblem(const SessionEnvironment &session, bool reachable);

// Applies the choice to this process before the QApplication is made, so
// every mode (course, hand-over, pop-up, launcher) and the programs it starts
// see the same platform. False, after saying why on stderr under
// `programName`, when the chosen platform needs an X server and none answers.
bool preferX11Session(const char *programName, int argc, char **argv);

} // namespace Tamberlyn::Platform
