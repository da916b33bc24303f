#include "options.h"

#include <QCommandLineParser>

namespace Tamberlyn::Simulator {

std::optional<Options> Options::parse(const QStringList &arguments, QString *error, QString *helpText)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Stand-in for the Orvanix and Prismo simulators, for testing the viewer."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption asOption(QStringLiteral("as"),
                                      QStringLiteral("The simulator to play: orvanix or prismo "
                                                     "(default: from the program's name)."),
                                      QStringLiteral("simulator"));
    const QCommandLineOption prefixOption(QStringLiteral("shm-prefix"),
                                          QStringLiteral("Prefix of the shared memory object names "
                                                         "(default: /)."),
                                          QStringLiteral("prefix"), QStringLiteral("/"));
    parser.addOption(asOption);
    parser.addOption(prefixOption);

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(helpOption)) {
        *helpText = parser.helpText();
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
