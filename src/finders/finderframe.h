#pragma once

#include "finderprintout.h"
#include "navigation/mainwindowport.h"

#include <QWidget>

#include <initializer_list>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStringListModel;

namespace Tamberlyn::Finders {

class FinderSet;

// What the Search, Index and History windows have in common, written once:
// the button bar, the help picture, the result list, the hand-over of the
// window's placement to the main window and to each other, one window up
// at a time, resizing, the quit question and the window's keys. Each window
// adds its own entry box and list handling on top.
//
// A finder window is not a dialog over the main window but takes its place:
// a choice loads a page into Web1, and the main window comes back in this
// window's place when the page has loaded.
class FinderFrame : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FinderFrame)

public:
    ~FinderFrame() override;

    Navigation::Finder finder() const { return m_finder; }

    // Visible, in front, and the only one of the four big windows up.
    void Show();
    // Hides the main window and the other two finder windows.
    void Form_Activate();
    void Form_Resize();
    // A key going down anywhere in the window, before the focused control
    // sees it; true when it goes no further.
    bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);

    // The button bar. Index, Search and History switch to that window
    // through its trigger page; in the History window, History is a second
    // Help button, as Section is in all three.
    void cmdCont_Click();
    void cmdPrint_Click();
    void cmdIndex_Click();
    void cmdSearch_Click();
    void cmdBack_Click();
    void cmdPrev_Click();
    void cmdNext_Click();
    void cmdHist_Click();
    void cmdCalc_Click();
    void cmdHelp_Click();
    void cmdSecn_Click();
    void picHelp_Click();
    bool isHelpVisible() const;

    // The choice of a list entry; nothing when none is selected.
    virtual void lbResults_DblClick() = 0;

    // What Print puts on paper while the help picture is hidden: what the
    // window shows, its list whole.
    virtual FinderPrintout printout() const = 0;

    // `target` takes this window's state, and after a second's wait (events
    // run meanwhile) its place when it is in the normal state. False when a
    // command given during the wait has overtaken command `turn` (from
    // takeTurn): that command then goes no further.
    bool PassPlacement(QWidget &target, quint64 turn);
    // The main window takes this window's place, Web1 loads the page, and
    // this window steps back; a command of its own, a choice in the list.
    void OpenInMain(const QString &pageName);

    // A command given in this window takes its turn among the learner's
    // commands; 0 where nothing keeps them.
    quint64 takeTurn(const QString &command);

protected:
    // Esc in the search window presses its cancel button, Help; in the
    // other two it only hides the help picture.
    enum class EscapeKey { HidesHelp, PressesHelp };

    FinderFrame(FinderSet &set, Navigation::Finder finder, EscapeKey escape, QRect resultsPlace);

    FinderSet &finders() const { return m_set; }

    // lbResults: one line per entry, in the order given.
    QListView *lbResults() const { return m_lbResults; }
    void setResults(const QStringList &entries);
    QString resultText(qsizetype row) const;
    QStringList resultTexts() const;
    // The selected entry's row from 0, or -1 when none is selected.
    qsizetype selectedRow() const;

    // The controls the search and index windows share.
    QLineEdit *addEntryBox();
    QLabel *addLabel(const char *name, const QString &caption, QRect place);
    // The window's own controls lead the tab order, the button bar follows.
    void orderControls(std::initializer_list<QWidget *> ownControls);

    // Resizing fits the window's own entry row to the new inner width.
    virtual void fitOwnControls(float innerWidth) { Q_UNUSED(innerWidth) }
    // Enter, wherever it goes down: the index and history windows choose
    // the selected entry and let the key go on.
    virtual bool enterKey(QWidget *focus);

    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createButtonBar();
    void switchTo(Navigation::Finder target, const char *command);
    void goBackFor(const char *command);
    void toggleHelp();
    void hideHelp();
    // The window's ground in the application's palette of the moment.
    void takeGround();

    FinderSet &m_set;
    const Navigation::Finder m_finder;
    const EscapeKey m_escape;
    QList<QPushButton *> m_bar;
    QListView *m_lbResults;
    QStringListModel *m_results;
    QLabel *m_picHelp;
    // The key press being delivered: the control it started in, and
    // whether the window has handled it already.
    const QWidget *m_keyStart = nullptr;
    bool m_keyDone = false;
};

} // namespace Tamberlyn::Finders
