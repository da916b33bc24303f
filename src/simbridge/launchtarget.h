#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Tamberlyn::SimBridge {

enum class Simulator { Prismo, Orvanix };

enum class PathStyle { Windows, Posix };

// Everything the launcher needs to hand one circuit file to a simulator.
struct LaunchTarget
{
    Simulator simulator;
    QString circuitPath;            // circuit folder + the command line
    QString windowTitle;            // searched exactly, then as a prefix
    QString program;                // started when no window is found
    QString notFoundMessage;        // after about 40 seconds without a window
    std::optional<quint8> requestCode; // none for "kq0000"
};

// The target for a launcher command line. `appData` is the per-user
// application-data folder, `programFiles` where programs are installed.
LaunchTarget launchTargetFor(Simulator simulator, const QString &commandLine, const QString &appData,
                             const QString &programFiles, PathStyle style);

// True when the command line names a file inside its circuit folder; a
// path that climbs out with ".." is refused, since the simulator would open
// whatever it points at.
bool staysInCircuitFolder(const QString &commandLine);

// The 255-byte image of a path: one byte per character in the ANSI code
// page, zero-padded; a longer path keeps its first 255 characters and has
// no terminating zero.
QByteArray pathImage(const QString &path);

} // namespace Tamberlyn::SimBridge
