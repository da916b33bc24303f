#pragma once

#include <QtGlobal>

namespace Tamberlyn::Platform {
class BrowserPane;
class Clock;
}

namespace Tamberlyn::Navigation {

class CommandTurns;
class MainWindowPort;
enum class Finder;
struct NavigationState;

// The button bar's navigation: each command only makes Web1 load something
// or go back; what the page then means is the page-load handler's affair.
class NavigationCommands final
{
    Q_DISABLE_COPY_MOVE(NavigationCommands)

public:
    // Each command takes its turn in `turns`: one overtaken during its
    // pause by a later command goes no further.
    NavigationCommands(NavigationState &state, CommandTurns &turns, Platform::BrowserPane &web1,
                       Platform::Clock &clock, MainWindowPort &window);

    void cmdBack_Click();
    void cmdPrev_Click();
    void cmdNext_Click();
    void cmdSecn_Click();
    // Toggles between the contents page and the alternate contents page.
    void cmdCont_Click();
    void cmdSearch_Click();
    void cmdHist_Click();

private:
    void openFinder(Finder finder, const char *command, const char *triggerPage);
    void take(const char *command);

    NavigationState &m_state;
    CommandTurns &m_turns;
    Platform::BrowserPane &m_web1;
    Platform::Clock &m_clock;
    MainWindowPort &m_window;
};

} // namespace Tamberlyn::Navigation
