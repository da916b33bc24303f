#pragma once

#include <QString>

namespace Tamberlyn::Shell {

enum class RunMode {
    Course,          // the first instance, whatever its command line
    HandOver,        // bring the running course window to the front
    Popup,           // show one picture next to the pointer
    LaunchPrismo,    // hand a ".cir"/".prb" file to the 3-D lab
    LaunchOrvanix,   // hand a ".ckt" file (or "kq0000") to the circuit simulator
    Nothing,         // a second instance with a command line we do not know
};

// Decided from two facts only. All comparisons are case-sensitive.
RunMode chooseRunMode(bool anotherInstanceRunning, const QString &commandLine);

} // namespace Tamberlyn::Shell
