#pragma once

#include <QString>
#include <QStringList>

namespace Tamberlyn::Shell {

// What the viewer answers about itself without starting any mode.
enum class SelfInfo {
    None,    // the command line is the run modes' business
    Help,    // print usageText() and end
    Version, // print the version and end
};

// "--help" or "--version" as the whole command line, and nothing else, is
// asked of the program: no course page, circuit file or pop-up line can be
// either, so every run mode keeps the command lines it has. `arguments` are
// the arguments after the program's name, as the process got them.
SelfInfo selfInfoAsked(const QStringList &arguments);

// The --help text: the command lines of the four modes, the two options and
// the exit codes.
QString usageText();

} // namespace Tamberlyn::Shell
