#pragma once

#include "failuremessage.h"

#include "platform/loadfailure.h"

#include <QObject>
#include <QRect>

namespace Tamberlyn::Navigation {
class NavigationCommands;
class PageLoadHandler;
}

namespace Tamberlyn::Shell {

class FailurePanel;
class FrmVK;
class LoadProgress;
class LoadWatch;
class NoticeBar;
struct Settings;

// What the learner sees when a load of Web1 is slow, is stopped or fails:
// the first page or a later one, asked for in the course window or in a
// Search, Index or History window. Also the notices for media that cannot
// be played and visits that cannot be recorded. Whatever fails, one of the
// viewer's big windows stays on the screen and says what happened.
//
// - A load that takes more than a moment gets a progress sign; one that
//   takes about a second while no window is on the screen brings the main
//   window up (for the first page: "Loading the course from HOST...").
// - The first page that fails: its message in the page's place, Retry and
//   Quit, the button bar held back.
// - A later page that fails: its message in the page's place, Retry, Back
//   and Contents; the bar stays, and Prev, Next and Section keep the links
//   of the last page that came.
// - A finder trigger page that fails: its window opens all the same.
// - Esc stops a load; the page shown before stays.
class LoadFailures final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoadFailures)

public:
    LoadFailures(FrmVK &window, LoadWatch &watch, Navigation::PageLoadHandler &handler,
                 Navigation::NavigationCommands &commands, const Settings &settings);
    ~LoadFailures() override;

    // Esc: stops the load under way; false when there is none.
    bool stopLoad();
    // No course page has come yet: there is nothing to act on.
    bool holdsCourseBack() const;
    // Puts the main window on the screen in the state the course is in:
    // while the first page has not come, with what is happening to it.
    void showMainWindow();
    // The page area changed; what stands in it follows.
    void place(const QRect &pageArea);

    void mediaFailed(MediaKind kind, const QString &address, const QString &reason);
    // Told once a run: later failures go to the log only.
    void visitNotRecorded(const QString &historyFile, const QString &reason);

    // What the learner sees, for tests: the panel, the strip and the notices.
    FailurePanel *panel() const { return m_panel; }
    LoadProgress *progressSign() const { return m_progress; }
    NoticeBar *notice() const { return m_mediaNotice; }
    NoticeBar *historyNotice() const { return m_historyNotice; }

private:
    void onSlow(const QString &address);
    void onOverdue(const QString &address);
    void onProgress(int percent);
    void onFailed(const QString &address, const Platform::LoadFailure &failure, bool firstPage);
    void onStopped(const QString &address, bool firstPage);
    void onLoaded(bool firstPage);

    FailurePanel &ensurePanel();
    bool panelShown() const;
    // The main window up and the finder windows down: exactly one big
    // window on the screen.
    void showWindowAlone();
    bool anyWindowShown() const;
    void showFirstPageLoading(const QString &address);
    void busy(bool on);
    void placeNotices();

    FrmVK &m_window;
    LoadWatch &m_watch;
    Navigation::PageLoadHandler &m_handler;
    Navigation::NavigationCommands &m_commands;
    const Settings &m_settings;
    FailurePanel *m_panel = nullptr;
    LoadProgress *m_progress;
    NoticeBar *m_mediaNotice;
    NoticeBar *m_historyNotice;
    QRect m_pageArea;
    bool m_busy = false;
    bool m_historyTold = false;
};

} // namespace Tamberlyn::Shell
