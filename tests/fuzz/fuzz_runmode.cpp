// A second instance's command line through the run-mode choice, and for
// the launcher modes on to the circuit path and its 255-byte image in the
// shared block.
//
// Input: the command line as UTF-8, the way the system hands it over; the
// first byte picks the path style and whether an instance already runs.

#include "fuzzcheck.h"

#include "platform/ansicodepage.h"
#include "shell/runmode.h"
#include "simbridge/launchtarget.h"

#include <QDir>

#include <cstdint>

using namespace Tamberlyn;
using Fuzz::require;

namespace {

const QString AppData = QStringLiteral("/home/learner/.local/share");
const QString ProgramFiles = QStringLiteral("/opt");

// The circuit folder as a clean path with '/' between its parts.
QString cleanFolder(const SimBridge::LaunchTarget &target, const QString &commandLine)
{
    const QString folder = target.circuitPath.left(target.circuitPath.size() - commandLine.size());
    return QDir::cleanPath(QString(folder).replace(u'\\', u'/'));
}

void checkLaunch(Shell::RunMode mode, const QString &commandLine, SimBridge::PathStyle style)
{
    const auto simulator =
        mode == Shell::RunMode::LaunchPrismo ? SimBridge::Simulator::Prismo : SimBridge::Simulator::Orvanix;
    const SimBridge::LaunchTarget target = SimBridge::launchTargetFor(simulator, commandLine, AppData, ProgramFiles, style);
    require(target.circuitPath.endsWith(commandLine), "the circuit path does not end in the command line", commandLine);
    require(target.requestCode.has_value() == (commandLine != QLatin1String("kq0000")), "wrong request code presence");

    // A path the launcher lets through stays in the circuit folder, with
    // '\' and '/' both taken as separators.
    if (SimBridge::staysInCircuitFolder(commandLine)) {
        const QString folder = cleanFolder(target, commandLine);
        const QString path = QDir::cleanPath(QString(target.circuitPath).replace(u'\\', u'/'));
        require(path == folder || path.startsWith(folder + u'/'), "an accepted circuit path leaves its folder", commandLine);
    }

    const QByteArray image = SimBridge::pathImage(target.circuitPath);
    require(image.size() == 255, "the path image is not 255 bytes");
    const QByteArray ansi = Platform::toAnsi(target.circuitPath);
    require(image.startsWith(ansi.left(255)), "the path image does not begin with the path");
    for (qsizetype i = ansi.size(); i < image.size(); ++i)
        require(image.at(i) == '\0', "the path image is not zero-padded");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool another = (data[0] & 1) != 0;
    const auto style = (data[0] & 2) != 0 ? SimBridge::PathStyle::Windows : SimBridge::PathStyle::Posix;
    const QString commandLine = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    const Shell::RunMode mode = Shell::chooseRunMode(another, commandLine);
    require(another || mode == Shell::RunMode::Course, "a first instance did not run the course");
    if (another && commandLine.startsWith(QLatin1String("/POPJPG=")))
        require(mode == Shell::RunMode::Popup, "a pop-up line ran another mode", commandLine);
    if (mode == Shell::RunMode::LaunchPrismo || mode == Shell::RunMode::LaunchOrvanix)
        checkLaunch(mode, commandLine, style);
    return 0;
}
