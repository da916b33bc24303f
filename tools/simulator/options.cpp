#include "options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace Tamberlyn::Simulator {

namespace {

// The end of --help; the manual page lists the same codes.
const char ExitStatusHelp[] =
    "\n"
    "Exit status:\n"
    "  0   the simulation was closed, or the end flag asked it to quit\n"
    "  1   no X server to show the window on\n"
    "  2   a wrong command line, or a program name that is neither simulator's\n";

// Every option the stand-in knows, in one parser. Help and version are
// our own rather than Qt's: Qt's help would add --help-all, whose Qt
// options the answer given before the display opens could not show.
struct CommandLine final
{
    QCommandLineParser parser;
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show the options and the exit codes, and exit.")};
    const QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit.")};
    const QCommandLineOption as{QStringLiteral("as"),
                                QStringLiteral("The simulator to play: orvanix or prismo "
                                               "(default: from the program's name)."),
                                QStringLiteral("simulator")};
    const QCommandLineOption shmPrefix{QStringLiteral("shm-prefix"),
                                       QStringLiteral("Prefix of the shared memory object names (default: /)."),
                                       QStringLiteral("prefix"), QStringLiteral("/")};

    CommandLine()
    {
        parser.setApplicationDescription(
            QStringLiteral("Stand-in for the Orvanix and Prismo simulators, for testing the viewer."));
        parser.addOptions({help, version, as, shmPrefix});
    }
    Q_DISABLE_COPY_MOVE(CommandLine)
};

} // namespace

bool Options::asksForAnswer(const QStringList &arguments)
{
    CommandLine commandLine;
    // Qt's own options (-platform, -display) are unknown to our parser
    // before the application has taken them; help and version still count.
    commandLine.parser.parse(arguments);
    return commandLine.parser.isSet(commandLine.help) || commandLine.parser.isSet(commandLine.version);
}

std::optional<Options> Options::parse(const QStringList &arguments, QString *error, QString *answer)
{
    CommandLine commandLine;
    QCommandLineParser &parser = commandLine.parser;
    const QCommandLineOption &asOption = commandLine.as;
    const QCommandLineOption &prefixOption = commandLine.shmPrefix;

    const bool parsed = parser.parse(arguments);
    if (parser.isSet(commandLine.help)) {
        *answer = parser.helpText() + QLatin1String(ExitStatusHelp);
        return std::nullopt;
    }
    if (parser.isSet(commandLine.version)) {
        *answer = QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
            + QLatin1Char('\n');
        return std::nullopt;
    }
    if (!parsed) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: ") + parser.positionalArguments().constFirst();
        return std::nullopt;
    }

    Options options;
    if (parser.isSet(asOption)) {
        const std::optional<Role> role = roleFromArgument(parser.value(asOption));
        if (!role) {
            *error = QStringLiteral("--as takes orvanix or prismo, not ") + parser.value(asOption);
            return std::nullopt;
        }
        options.role = *role;
    } else {
        const QString program = arguments.isEmpty() ? QString() : arguments.constFirst();
        const std::optional<Role> role = roleFromProgramName(program);
        if (!role) {
            *error = QStringLiteral("cannot tell the simulator from the name ") + program
                + QStringLiteral("; start it as orvane or Prismo, or give --as");
            return std::nullopt;
        }
        options.role = *role;
    }

    // The POSIX rule for portable object names: one leading slash and no
    // other. Anything else would quietly name a different object, or none.
    const QString prefix = parser.value(prefixOption);
    if (!prefix.startsWith(QLatin1Char('/')) || prefix.indexOf(QLatin1Char('/'), 1) >= 0
        || prefix.contains(QChar(0))) {
        *error = QStringLiteral("--shm-prefix must start with / and contain no other /: ") + prefix;
        return std::nullopt;
    }
    options.shmPrefix = prefix.toLocal8Bit();
    return options;
}

} // namespace Tamberlyn::Simulator
