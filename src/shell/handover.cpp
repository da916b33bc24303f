#include "handover.h"

namespace Tamberlyn::Shell {

HandOverOutcome handOverOutcome(const QString &searchedTitle, const Platform::Shell::ShowReply &reply)
{
    using Outcome = Platform::Shell::ShowReply::Outcome;
    const QString notFound = QStringLiteral("tamberlyn: no window titled \"%1\" is on the screen").arg(searchedTitle);
    const QString process = reply.holder > 0 ? QStringLiteral("the running course (process %1)").arg(reply.holder)
                                             : QStringLiteral("the running course");
    const QString endIt = reply.holder > 0
                              ? QStringLiteral("end it (kill %1) and start the viewer again").arg(reply.holder)
                              : QStringLiteral("end it and start the viewer again");
    switch (reply.outcome) {
    case Outcome::Shown:
        return {ShownWhenAsked, QStringLiteral("%1; %2 was asked to show itself and showed \"%3\"")
                                    .arg(notFound, process, reply.title)};
    case Outcome::NoAnswer:
        return {CourseDoesNotAnswer, QStringLiteral("%1, and %2 did not answer when asked to show itself: it may "
                                                    "hang; %3")
                                         .arg(notFound, process, endIt)};
    case Outcome::NotListening:
        break;
    }
    return {CourseDoesNotAnswer,
            QStringLiteral("%1, and %2 cannot be asked to show itself; %3").arg(notFound, process, endIt)};
}

} // namespace Tamberlyn::Shell
