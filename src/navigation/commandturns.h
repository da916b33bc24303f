#pragma once

#include <QString>
#include <QtGlobal>

namespace Tamberlyn::Platform {
class Clock;
}

namespace Tamberlyn::Navigation {

// The learner's navigation commands in the order given: the buttons and
// keys of the four windows, the links in the course page and the choices in
// the finder windows' lists. Several of them pause for a second while the
// windows hand their placement over, and the pause lets later commands run
// in the middle of the earlier one. A command that comes back from a pause
// to find that a later one has been given meanwhile has been overtaken: it
// goes no further, so the learner always ends where the last command points
// and no command is undone by one given before it.
class CommandTurns final
{
    Q_DISABLE_COPY_MOVE(CommandTurns)

public:
    using Turn = quint64;

    CommandTurns() = default;

    // A new command: every one still pausing is overtaken by it. `command`
    // and `window` name it in the log.
    Turn take(const QString &command, const QString &window);
    // The last command given; 0 before any.
    Turn latest() const { return m_latest; }
    bool isLatest(Turn turn) const { return turn == m_latest; }
    // WaitSecond on behalf of `turn`: true when it is still the last
    // command afterwards, false (and logged) when a later one overtook it.
    bool waitSecond(Platform::Clock &clock, Turn turn, const char *step);

private:
    Turn m_latest = 0;
};

} // namespace Tamberlyn::Navigation
