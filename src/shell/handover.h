#pragma once

#include "platform/shell.h"

#include <QString>

namespace Tamberlyn::Shell {

// How a hand-over ends, as its exit code says to whoever started it.
enum HandOverExit : int {
    // The course window was found by its title and brought to the front.
    BroughtToFront = 0,
    // No course window was on the screen; asked through the instance lock's
    // channel, the running course showed it.
    ShownWhenAsked = 3,
    // No course window was on the screen, and the running course did not
    // answer (it hangs, is stopped, or is too old to be asked).
    CourseDoesNotAnswer = 4,
};

// What a hand-over that found no course window says on the terminal, from
// the course's reply; and the code it exits with.
struct HandOverOutcome
{
    HandOverExit exitCode;
    QString message;
};
HandOverOutcome handOverOutcome(const QString &searchedTitle, const Platform::Shell::ShowReply &reply);

} // namespace Tamberlyn::Shell
