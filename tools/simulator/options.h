#pragma once

#include "role.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace Tamberlyn::Simulator {

// The stand-in's command line:
//   tamberlyn-simulator [--as orvanix|prismo] [--shm-prefix /P]
// Without --as the role comes from the name the program was started under.
struct Options final
{
    Role role = Role::Orvanix;
    // POSIX object name prefix of the three blocks; "/" gives the names the
    // viewer and the real simulators use.
    QByteArray shmPrefix = QByteArrayLiteral("/");

    // `arguments` as QCoreApplication::arguments() has them (program first).
    // Empty with the reason in `error` when they make no sense; `helpText`
    // is set instead when --help was asked for.
    static std::optional<Options> parse(const QStringList &arguments, QString *error,
                                        QString *helpText);
};

} // namespace Tamberlyn::Simulator
