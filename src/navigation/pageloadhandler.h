#pragma once

#include "commandturns.h"
#include "navigationstate.h"
#include "pagedispatch.h"

#include <QObject>

namespace Tamberlyn::Platform {
class BrowserPane;
class Clock;
class Shell;
}

namespace Tamberlyn::Navigation {

class MainWindowPort;
enum class Finder;

// The main window's reaction to every document Web1 finishes loading: page
// name, caption, link bindings, history records, and the trigger pages.
//
// Runs nest: a video, exam or finder trigger pauses with WaitSecond, and the
// run for the page its back step reaches completes inside that pause. So a
// run works on local copies after any pause and never reads PageName again.
class PageLoadHandler final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageLoadHandler)

public:
    PageLoadHandler(Platform::BrowserPane &web1, Platform::Clock &clock, Platform::Shell &shell,
                    MainWindowPort &window, QObject *parent = nullptr);

    NavigationState &state() { return m_state; }
    const NavigationState &state() const { return m_state; }
    // The learner's commands in order; a link followed in the page is one.
    CommandTurns &turns() { return m_turns; }

    // One run for the document now shown in Web1.
    void Web1_DocumentComplete();
    // A finder trigger page whose load failed: its window opens all the
    // same, as if the page had come (the window needs nothing of the page).
    // False, and nothing done, for any other address.
    bool openFinderFor(const QString &address);
    void OpenModulePage(const QString &label);

private:
    void react(const PageDispatch &dispatch, const QString &pageName);
    void bindLinks();
    void record(const QString &pageName);
    void alternateContents(const QString &pageName);
    void finderTrigger(Finder finder, bool &loaded);
    void examTrigger(const QString &pageName);
    void setCaption(const QString &pageName);
    // WaitSecond inside a trigger's run: true when, afterwards, neither a
    // later command nor another page's run has come, so the run may go on.
    bool pauseUndisturbed(const char *step);

    Platform::BrowserPane &m_web1;
    Platform::Clock &m_clock;
    Platform::Shell &m_shell;
    MainWindowPort &m_window;
    NavigationState m_state;
    CommandTurns m_turns;
    quint64 m_runs = 0;
    // Whether the main window was up when the run began.
    bool m_mainWasUp = false;
};

} // namespace Tamberlyn::Navigation
