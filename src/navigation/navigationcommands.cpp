#include "navigationcommands.h"

#include "commandturns.h"
#include "coursemap.h"
#include "mainwindowport.h"
#include "navigationstate.h"

#include "platform/browserpane.h"
#include "platform/clock.h"

namespace Tamberlyn::Navigation {

NavigationCommands::NavigationCommands(NavigationState &state, CommandTurns &turns, Platform::BrowserPane &web1,
                                       Platform::Clock &clock, MainWindowPort &window)
    : m_state(state)
    , m_turns(turns)
    , m_web1(web1)
    , m_clock(clock)
    , m_window(window)
{
}

void NavigationCommands::cmdBack_Click()
{
    take("Back");
    m_window.hideHelp();
    m_state.GoingBack = true;
    m_web1.goBack();
}

// Prev, Next and Section pass the bound address as it is, empty included.
void NavigationCommands::cmdPrev_Click()
{
    take("<<");
    m_window.hideHelp();
    m_web1.navigate(m_state.PrevLink);
}

void NavigationCommands::cmdNext_Click()
{
    take(">>");
    m_window.hideHelp();
    m_web1.navigate(m_state.NextLink);
}

void NavigationCommands::cmdSecn_Click()
{
    take("Section");
    m_window.hideHelp();
    m_web1.navigate(m_state.SecnLink);
}

void NavigationCommands::cmdCont_Click()
{
    take("Contents");
    m_window.hideHelp();
    const QChar letter = contentsSizeLetter(m_window.sizeClass());
    const QString contents = QStringLiteral("kq") + letter + QStringLiteral(".vxp");
    if (m_state.PageName == contents)
        m_web1.navigate(m_window.fileLocn() + QStringLiteral("kqcr") + letter + QStringLiteral(".vxp"));
    else
        m_web1.navigate(m_window.fileLocn() + contents);
}

void NavigationCommands::cmdSearch_Click()
{
    openFinder(Finder::Search, "Search", "search.vxp");
}

void NavigationCommands::cmdHist_Click()
{
    openFinder(Finder::History, "History", "hist.vxp");
}

void NavigationCommands::take(const char *command)
{
    m_turns.take(QLatin1String(command), QStringLiteral("frmVK"));
}

void NavigationCommands::openFinder(Finder finder, const char *command, const char *triggerPage)
{
    const CommandTurns::Turn turn = m_turns.take(QLatin1String(command), QStringLiteral("frmVK"));
    m_window.hideHelp();
    m_window.takeWindowState(finder);
    if (!m_turns.waitSecond(m_clock, turn, "its trigger page"))
        return;
    // The learner may have maximised or restored the window meanwhile.
    m_window.takeWindowState(finder);
    m_window.takePosition(finder);
    m_web1.navigate(m_window.fileLocn() + QLatin1String(triggerPage));
}

} // namespace Tamberlyn::Navigation
