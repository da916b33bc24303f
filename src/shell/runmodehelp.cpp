#include "runmodehelp.h"

namespace Tamberlyn::Shell {

SelfInfo selfInfoAsked(const QStringList &arguments)
{
    if (arguments.size() != 1)
        return SelfInfo::None;
    if (arguments.constFirst() == QLatin1String("--help"))
        return SelfInfo::Help;
    if (arguments.constFirst() == QLatin1String("--version"))
        return SelfInfo::Version;
    return SelfInfo::None;
}

QString usageText()
{
    // Kept in step with the manual page, tamberlyn(1), by the manpages test.
    return QStringLiteral(
        "Usage: tamberlyn\n"
        "       tamberlyn /POPJPG=FILE /W WIDTH /H HEIGHT\n"
        "       tamberlyn CIRCUIT.ckt | CIRCUIT.cir | CIRCUIT.prb | kq0000\n"
        "       tamberlyn --help | --version\n"
        "\n"
        "Shows the Tamberlyn course from its course web server. The first instance\n"
        "runs the course, whatever its command line. A second instance brings the\n"
        "course window to the front (no arguments), shows a picture of the course\n"
        "next to the pointer (/POPJPG=), or hands a circuit file to the simulator\n"
        "that opens it (.ckt: Orvanix; .cir, .prb: Prismo).\n"
        "\n"
        "Options (alone on the command line):\n"
        "  --help      show this help and exit\n"
        "  --version   show the version and exit\n"
        "\n"
        "Settings: $XDG_CONFIG_HOME/Marrowick/Tamberlyn.ini (~/.config/...), each key\n"
        "overridden by its TAMBERLYN_* environment variable. See tamberlyn(1).\n"
        "\n"
        "Exit status:\n"
        "  0   the viewer ended normally\n"
        "  1   no X server to show the windows on\n"
        "  2   the settings cannot work (the message says which)\n");
}

} // namespace Tamberlyn::Shell
