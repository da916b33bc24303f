#pragma once

#include "role.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace Tamberlyn::Simulator {

// The stand-in's command line:
//   tamberlyn-simulator [--as orvanix|prismo] [--shm-prefix /P] [--help] [--version]
// Without --as the role comes from the name the program was started under.
struct Options final
{
    Role role = Role::Orvanix;
    // POSIX object name prefix of the three blocks; "/" gives the names the
    // viewer and the real simulators use.
    QByteArray shmPrefix = QByteArrayLiteral("/");

    // `arguments` as QCoreApplication::arguments() has them (program first).
    // Empty with the reason in `error` when they make no sense; `answer` is
    // set instead, to the text to print, when --help or --version was asked
    // for (those win over any mistake beside them).
    static std::optional<Options> parse(const QStringList &arguments, QString *error, QString *answer);

    // Whether --help or --version is among `arguments`: those are answered
    // before the display is opened, so they work without one.
    static bool asksForAnswer(const QStringList &arguments);
};

} // namespace Tamberlyn::Simulator
