#include "runmode.h"

namespace Tamberlyn::Shell {

RunMode chooseRunMode(bool anotherInstanceRunning, const QString &commandLine)
{
    if (!anotherInstanceRunning)
        return RunMode::Course;
    if (commandLine.isEmpty())
        return RunMode::HandOver;
    if (commandLine.startsWith(QLatin1String("/POPJPG=")))
        return RunMode::Popup;
    if (commandLine.endsWith(QLatin1String(".cir")) || commandLine.endsWith(QLatin1String(".prb")))
        return RunMode::LaunchPrismo;
    if (commandLine.endsWith(QLatin1String(".ckt")) || commandLine == QLatin1String("kq0000"))
        return RunMode::LaunchOrvanix;
    return RunMode::Nothing;
}

} // namespace Tamberlyn::Shell
