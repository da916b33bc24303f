#pragma once

#include <QString>

#include <optional>

namespace Tamberlyn::Simulator {

// Which companion simulator the stand-in plays.
enum class Role { Orvanix, Prismo };

QString roleName(Role role);

// "orvanix" or "prismo", in any case, as given to --as.
std::optional<Role> roleFromArgument(const QString &argument);

// The viewer starts <Program Files>/Marrowick/Orvanix/orvane and
// <Program Files>/Marrowick/Prismo/Prismo (with ".exe" on Windows), so a
// stand-in installed or linked under one of those names plays that one.
// Case is ignored: the names come from a case-insensitive file system.
std::optional<Role> roleFromProgramName(const QString &programPath);

} // namespace Tamberlyn::Simulator
