#pragma once

#include "navigation/finderwindows.h"
#include "tables/tablefilereader.h"
#include "tables/tablemessages.h"

#include <QList>
#include <QPixmap>

#include <memory>

namespace Tamberlyn::Platform {
class Clock;
class Dialogs;
}

namespace Tamberlyn::Navigation {
class CommandTurns;
}

namespace Tamberlyn::Finders {

class FinderFrame;
class FinderHost;
class FrmHist;
class FrmIndex;
class FrmSearch;

// The Search, Index and History windows as one set: the main window drives
// them through Navigation::FinderWindows, and they reach each other and the
// main window through it. Each window is made, hidden, the first time
// anything refers to it, and lives as long as the set.
class FinderSet final : public Navigation::FinderWindows
{
    Q_DISABLE_COPY_MOVE(FinderSet)

public:
    struct Services
    {
        FinderHost &host;
        Platform::Clock &clock;     // WaitSecond
        Platform::Dialogs &dialogs; // the over-limit messages
        // Reads "words.vxp", "files.vxp" and the history file; its file test
        // is the main window's FileExists.
        Tables::TableFileReader reader;
    };

    explicit FinderSet(Services services);
    ~FinderSet() override;

    // Navigation::FinderWindows
    void show(Navigation::Finder finder) override;
    void load(Navigation::Finder finder) override;
    void setWindowState(Navigation::Finder finder, Qt::WindowStates state) override;
    bool isNormal(Navigation::Finder finder) const override;
    void takePlaceOf(Navigation::Finder finder, const QWidget &window) override;
    // The main window's Form_Activate; nothing while the main window is
    // hidden, which only a late activation report can ask for.
    void hideAll() override;
    QWidget *shownWindow() const override;

    FrmSearch &frmSearch();
    FrmIndex &frmIndex();
    FrmHist &frmHist();
    FinderFrame &window(Navigation::Finder finder);
    // Null while the window has not been made.
    FinderFrame *existing(Navigation::Finder finder) const;

    // "search.vxp", "index.vxp", "hist.vxp": loading one into Web1 is the
    // only way to open a finder window.
    static QString triggerPage(Navigation::Finder finder);

    // What the windows share.
    FinderHost &host() const { return m_services.host; }
    Platform::Clock &clock() const { return m_services.clock; }
    const Tables::TableFileReader &reader() const { return m_services.reader; }
    const QPixmap &helpPicture();
    // The boxes a load asks for, in order, each with an OK button.
    void tell(QWidget *asking, const QList<Tables::TableMessage> &messages);
    // Form_Activate of `shown`: the main window and the other two go.
    void hideAllBut(const FinderFrame &shown);
    // The other two windows take `from`'s state, and its place when normal.
    void handPlacementOver(const FinderFrame &from);
    // The learner's commands in order: those of the finder windows take
    // their turns with the main window's. Null when nothing keeps them.
    Navigation::CommandTurns *turns() const;

private:
    Services m_services;
    QPixmap m_helpPicture;
    std::unique_ptr<FrmSearch> m_search;
    std::unique_ptr<FrmIndex> m_index;
    std::unique_ptr<FrmHist> m_hist;
};

} // namespace Tamberlyn::Finders
