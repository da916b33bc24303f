#include "../unit/common/fakes.h"

#include "finders/finderhost.h"
#include "finders/finderset.h"
#include "finders/frmhist.h"
#include "finders/frmindex.h"
#include "finders/frmsearch.h"
#include "navigation/commandturns.h"
#include "finders/suggestionlist.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QApplication>
#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Navigation::Finder;

Q_DECLARE_METATYPE(Tamberlyn::Navigation::Finder)

namespace {

const QString Base = u"https://course.example/kq_cbt/kq/"_s;

// The main window and the program around the finder windows, recorded.
class FakeHost final : public Finders::FinderHost
{
public:
    FakeHost(QStringList &events, const QString &folder)
        : m_events(events)
        , m_folder(folder)
    {
        main.setObjectName(u"frmVK"_s);
        main.resize(968, 741);
    }

    QWidget main;
    int screen = 7;
    Navigation::CommandTurns turns;
    Finders::FinderPrintout printout; // the last list printed

    QWidget *mainWindow() override { return &main; }
    QString fileLocn() const override { return Base; }
    int screenSize() const override { return screen; }
    QString dornDir() const override { return m_folder + u'/'; }
    QString programFolder() const override { return m_folder; }
    void web1Navigate(const QString &address) override
    {
        m_events << u"navigate "_s + QString(address).remove(Base);
    }
    void web1GoBack() override { m_events << u"back"_s; }
    void printHelpImage(QWidget *owner) override { m_events << u"print %1 help"_s.arg(owner->objectName()); }
    void printListing(QWidget *owner, const Finders::FinderPrintout &listing) override
    {
        m_events << u"print %1 list"_s.arg(owner->objectName());
        printout = listing;
    }
    void startCalculator() override { m_events << u"calc"_s; }
    Navigation::CommandTurns *commandTurns() override { return &turns; }
    void askQuit(QWidget *owner) override { m_events << u"quit? "_s + owner->objectName(); }
    void showSearchWords(const QString &address, const QStringList &words) override
    {
        m_events << u"show %1 on %2"_s.arg(words.join(u'|'), QString(address).remove(Base));
    }
    QImage helpImage(qreal) const override
    {
        QImage image(780, 590, QImage::Format_RGB888);
        image.fill(Qt::white);
        return image;
    }

private:
    QStringList &m_events;
    QString m_folder;
};

// A small course index: pages 1 to 4, and words whose file lists overlap.
const QByteArray Files = "1\tkq010003.vxp\tWhat a PV system does\r\n"
                         "2\tkq010004.vxp\tCells and modules\r\n"
                         "3\tkq020003.vxp\tWiring the array\r\n"
                         "4\tkq030005.vxp\tCable sizing\r\n";
const QByteArray Words = "cable\t4\t3\t\r\n"
                         "cables\t3\t1\t\r\n"
                         "cell\t2\t\r\n"
                         "dc cable\t3\t\r\n"
                         "module\t2\t1\t\r\n";

QByteArray historyOf(const QStringList &names)
{
    QByteArray bytes;
    for (const QString &name : names)
        bytes += '"' + name.toLatin1() + "\"\r\n";
    return bytes;
}

QByteArray linesOf(int count, const char *line)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += line;
    return bytes;
}

struct Harness
{
    QTemporaryDir dir;
    QStringList events;
    Fakes::Clock clock{events};
    Fakes::Dialogs dialogs;
    FakeHost host{events, dir.path()};
    Finders::FinderSet finders{{host, clock, dialogs, Tables::TableFileReader()}};

    explicit Harness(const QByteArray &files = Files, const QByteArray &words = Words)
    {
        if (!files.isNull())
            write(u"files.vxp"_s, files);
        if (!words.isNull())
            write(u"words.vxp"_s, words);
    }

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    Finders::FinderFrame &window(Finder finder) { return finders.window(finder); }

    // As the page-load handler opens it the first time.
    Finders::FinderFrame &opened(Finder finder)
    {
        finders.load(finder);
        events.clear();
        return window(finder);
    }
};

template <typename T>
T *child(QWidget &window, const QString &name)
{
    auto *found = window.findChild<T *>(name);
    if (!found)
        qWarning("no %s in %s", qPrintable(name), qPrintable(window.objectName()));
    return found;
}

QListView &list(QWidget &window)
{
    return *child<QListView>(window, u"lbResults"_s);
}

QStringList entries(QWidget &window)
{
    return qobject_cast<QStringListModel *>(list(window).model())->stringList();
}

QString label(QWidget &window, const QString &name = u"lblFound"_s)
{
    return child<QLabel>(window, name)->text();
}

QLineEdit &entryBox(QWidget &window)
{
    return *child<QLineEdit>(window, u"txtInput"_s);
}

bool helpShown(QWidget &window)
{
    return child<QLabel>(window, u"picHelp"_s)->isVisibleTo(&window);
}

void select(QWidget &window, int row)
{
    QListView &view = list(window);
    if (row < 0)
        view.clearSelection();
    else
        view.setCurrentIndex(view.model()->index(row, 0));
}

void doubleClick(QWidget &window, int row)
{
    QListView &view = list(window);
    const QRect item = view.visualRect(view.model()->index(row, 0));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, item.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, item.center());
}

// Up, in front and with its keys going to `focus`.
bool activate(QWidget &window, QWidget *focus)
{
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        return false;
    if (focus)
        focus->setFocus();
    return true;
}

} // namespace

class TestFinderWindows final : public QObject
{
    Q_OBJECT

private slots:
    void frameOfEachWindow_data();
    void frameOfEachWindow();
    void buttons_data();
    void buttons();
    void contentsFollowsTheSizeClass_data();
    void contentsFollowsTheSizeClass();
    void placementHandOver_data();
    void placementHandOver();
    void laterCommandOvertakesOneStillPausing_data();
    void laterCommandOvertakesOneStillPausing();
    void oneWindowUpAtATime();
    void indexChoiceShowsItsPagesInTheSearchWindow();
    void indexNarrowsOnEveryChange();
    void searchWindow();
    void searchNamesTheWordsItLeftOut();
    void suggestionsWhenNothingIsFound_data();
    void suggestionsWhenNothingIsFound();
    void printsWhatTheWindowShows();
    void enterInEachWindow_data();
    void enterInEachWindow();
    void keys_data();
    void keys();
    void firstArrowKeySelectsTheFirstEntry();
    void closeAsksToQuitAndStays_data();
    void closeAsksToQuitAndStays();
    void resizing_data();
    void resizing();
    void historyList();
    void overLimitTablesAreTold_data();
    void overLimitTablesAreTold();
};

void TestFinderWindows::frameOfEachWindow_data()
{
    QTest::addColumn<Finder>("finder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("third");
    QTest::addColumn<QStringList>("tabOrder");
    QTest::newRow("search") << Finder::Search << u"frmSearch"_s << u"Tamberlyn - Search"_s << u"cmdIndex:&Index"_s
                            << QStringList{u"txtInput"_s, u"cmdFTS"_s, u"lbResults"_s, u"lbSuggestions"_s,
                                           u"cmdCont"_s};
    QTest::newRow("index") << Finder::Index << u"frmIndex"_s << u"Tamberlyn - Index"_s << u"cmdSearch:&Search"_s
                           << QStringList{u"txtInput"_s, u"lbResults"_s, u"cmdCont"_s};
    QTest::newRow("history") << Finder::History << u"frmHist"_s << u"Tamberlyn - History"_s
                             << u"cmdSearch:&Search"_s << QStringList{u"lbResults"_s, u"cmdCont"_s};
}

void TestFinderWindows::frameOfEachWindow()
{
    QFETCH(Finder, finder);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, third);
    QFETCH(QStringList, tabOrder);
    Harness h;
    QWidget &window = h.window(finder);
    QCOMPARE(window.objectName(), name);
    QCOMPARE(window.windowTitle(), caption);
    QVERIFY(!window.isVisible()); // made hidden
    QCOMPARE(window.size(), QSize(968, 741));
    QCOMPARE(window.palette().color(QPalette::Window), QColor(192, 192, 192));
    // A dark palette (the learner's look) brings its own ground; a light
    // one gives the grey back.
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(43, 43, 43));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QEvent changed(QEvent::ApplicationPaletteChange);
    QApplication::setPalette(dark);
    QApplication::sendEvent(&window, &changed);
    QCOMPARE(window.palette().color(QPalette::Window), QColor(43, 43, 43));
    QApplication::setPalette(light);
    QApplication::sendEvent(&window, &changed);
    QCOMPARE(window.palette().color(QPalette::Window), QColor(192, 192, 192));

    const QStringList bar = {u"cmdCont:&Contents"_s, u"cmdPrint:&Print"_s, third,
                             u"cmdBack:&Back"_s,     u"cmdPrev:&<<"_s,     u"cmdNext:&>>"_s,
                             u"cmdHist:His&tory"_s,  u"cmdCalc:C&alc"_s,   u"cmdHelp:&Help"_s,
                             u"cmdSecn:Sectio&n"_s};
    for (int i = 0; i < bar.size(); ++i) {
        const QStringList nameAndCaption = bar.at(i).split(u':');
        auto *button = child<QPushButton>(window, nameAndCaption.at(0));
        QVERIFY(button);
        QCOMPARE(button->text(), nameAndCaption.at(1));
        QCOMPARE(button->geometry(), QRect(3 + 66 * i, 2, 65, 19));
        QVERIFY(button->font().bold());
        QVERIFY(!button->autoDefault());
    }

    // The window's own controls come first in the tab ring, the button bar
    // after them; the first of them has the focus when the window shows.
    QWidget *control = child<QWidget>(window, tabOrder.constFirst());
    for (const QString &next : tabOrder.sliced(1)) {
        do
            control = control->nextInFocusChain();
        while (control->focusPolicy() == Qt::NoFocus);
        QCOMPARE(control->objectName(), next);
    }
    do
        control = control->nextInFocusChain();
    while (control->focusPolicy() == Qt::NoFocus);
    QCOMPARE(control->objectName(), u"cmdPrint"_s);
    QVERIFY(activate(window, nullptr));
    QCOMPARE(QApplication::focusWidget()->objectName(), tabOrder.constFirst());

    QCOMPARE(child<QLabel>(window, u"picHelp"_s)->geometry(), QRect(40, 48, 809, 649));
    QVERIFY(!helpShown(window));
    if (finder != Finder::History) {
        QCOMPARE(label(window), u"Found:"_s);
        QCOMPARE(label(window, finder == Finder::Search ? u"lblSearch"_s : u"lblIndex"_s),
                 finder == Finder::Search ? u"Search Results:"_s : u"Index Results:"_s);
        QVERIFY(entryBox(window).text().isEmpty());
    }
    QVERIFY(entries(window).isEmpty());
}

void TestFinderWindows::buttons_data()
{
    QTest::addColumn<Finder>("finder");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("helpBefore");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("helpAfter");

    const QList<std::pair<Finder, const char *>> windows = {
        {Finder::Search, "search"}, {Finder::Index, "index"}, {Finder::History, "history"}};
    for (const auto &[finder, name] : windows) {
        const QString own = finder == Finder::Search ? u"frmSearch"_s
                            : finder == Finder::Index ? u"frmIndex"_s
                                                      : u"frmHist"_s;
        const auto row = [name](const char *what) -> QTestData & { return QTest::addRow("%s: %s", name, what); };
        row("Contents") << finder << u"cmdCont"_s << true << QStringList{u"wait"_s, u"navigate kqg.vxp"_s} << false;
        // Back, << and >> all leave for the page before the trigger page.
        for (const QString &button : {u"cmdBack"_s, u"cmdPrev"_s, u"cmdNext"_s})
            row(qPrintable(button)) << finder << button << true << QStringList{u"back"_s} << false;
        row("Calc") << finder << u"cmdCalc"_s << true << QStringList{u"calc"_s} << false;
        row("Print with help") << finder << u"cmdPrint"_s << true << QStringList{u"print "_s + own + u" help"_s}
                               << true;
        row("Print without") << finder << u"cmdPrint"_s << false << QStringList{u"print "_s + own + u" list"_s}
                             << false;
        // Section is a second Help button in a finder window.
        for (const QString &button : {u"cmdHelp"_s, u"cmdSecn"_s}) {
            row(qPrintable(button + u" shows"_s)) << finder << button << false << QStringList{} << true;
            row(qPrintable(button + u" hides"_s)) << finder << button << true << QStringList{} << false;
        }
    }
    // Switching passes the placement to the main window, then to the
    // target, and loads the target's trigger page.
    const QStringList toIndex = {u"wait"_s, u"wait"_s, u"navigate index.vxp"_s};
    const QStringList toSearch = {u"wait"_s, u"wait"_s, u"navigate search.vxp"_s};
    const QStringList toHistory = {u"wait"_s, u"wait"_s, u"navigate hist.vxp"_s};
    QTest::newRow("search: Index") << Finder::Search << u"cmdIndex"_s << true << toIndex << false;
    QTest::newRow("search: History") << Finder::Search << u"cmdHist"_s << true << toHistory << false;
    QTest::newRow("index: Search") << Finder::Index << u"cmdSearch"_s << true << toSearch << false;
    QTest::newRow("index: History") << Finder::Index << u"cmdHist"_s << true << toHistory << false;
    QTest::newRow("history: Search") << Finder::History << u"cmdSearch"_s << true << toSearch << false;
    // In the history window, History only shows or hides the help picture.
    QTest::newRow("history: History shows") << Finder::History << u"cmdHist"_s << false << QStringList{} << true;
    QTest::newRow("history: History hides") << Finder::History << u"cmdHist"_s << true << QStringList{} << false;
}

void TestFinderWindows::buttons()
{
    QFETCH(Finder, finder);
    QFETCH(QString, button);
    QFETCH(bool, helpBefore);
    QFETCH(QStringList, events);
    QFETCH(bool, helpAfter);
    Harness h;
    Finders::FinderFrame &window = h.opened(finder);
    if (helpBefore)
        window.cmdHelp_Click();
    QCOMPARE(helpShown(window), helpBefore);
    child<QPushButton>(window, button)->click();
    QCOMPARE(h.events, events);
    QCOMPARE(helpShown(window), helpAfter);
}

void TestFinderWindows::contentsFollowsTheSizeClass_data()
{
    QTest::addColumn<int>("sizeClass");
    QTest::addColumn<QString>("page");
    QTest::newRow("none yet") << 0 << u"kqa.vxp"_s;
    QTest::newRow("1") << 1 << u"kqa.vxp"_s;
    QTest::newRow("2") << 2 << u"kqb.vxp"_s;
    QTest::newRow("11") << 11 << u"kqk.vxp"_s;
    QTest::newRow("out of range") << 12 << u"kqa.vxp"_s;
}

void TestFinderWindows::contentsFollowsTheSizeClass()
{
    QFETCH(int, sizeClass);
    QFETCH(QString, page);
    Harness h;
    h.host.screen = sizeClass;
    h.opened(Finder::Index).cmdCont_Click();
    QCOMPARE(h.events.constLast(), u"navigate "_s + page);
}

void TestFinderWindows::placementHandOver_data()
{
    QTest::addColumn<Finder>("from");
    QTest::addColumn<QString>("command"); // Index, a list choice, or Back
    QTest::addColumn<Qt::WindowState>("state");
    QTest::addColumn<QPoint>("at"); // where the finder window is, when normal
    QTest::addColumn<bool>("fits"); // whether the others fit there
    // The offscreen screen is 800 x 600; the windows here are 300 x 200.
    const QString index = u"Index"_s, choice = u"choice"_s, back = u"Back"_s;
    QTest::newRow("search to index, normal") << Finder::Search << index << Qt::WindowNoState << QPoint(140, 90) << true;
    QTest::newRow("search to index, maximised") << Finder::Search << index << Qt::WindowMaximized << QPoint() << true;
    QTest::newRow("history choice, normal") << Finder::History << choice << Qt::WindowNoState << QPoint(140, 90) << true;
    QTest::newRow("history choice, maximised") << Finder::History << choice << Qt::WindowMaximized << QPoint() << true;
    QTest::newRow("search to index, overhanging") << Finder::Search << index << Qt::WindowNoState << QPoint(-40, 480)
                                                  << false;
    QTest::newRow("history choice, overhanging") << Finder::History << choice << Qt::WindowNoState << QPoint(650, -10)
                                                 << false;
    // Back may come to another finder window's trigger page: that window
    // comes in this one's place, like the main window.
    QTest::newRow("search back, normal") << Finder::Search << back << Qt::WindowNoState << QPoint(140, 90) << true;
    QTest::newRow("search back, maximised") << Finder::Search << back << Qt::WindowMaximized << QPoint() << true;
}

// The main window and a target finder window take the state first, and the
// place only after the wait, and only when they are then normal: the same
// client corner, frames being alike, unless the window would overhang the
// work area there; then it comes back inside. Back has no wait: they take
// both at once.
void TestFinderWindows::placementHandOver()
{
    QFETCH(Finder, from);
    QFETCH(QString, command);
    QFETCH(Qt::WindowState, state);
    QFETCH(QPoint, at);
    QFETCH(bool, fits);
    Harness h;
    h.write(u"history.vxp"_s, historyOf({u"kq010004.vxp"_s}));
    Finders::FinderFrame &window = h.opened(from);
    QVERIFY(window.isVisible());
    const QSize size(300, 200);
    window.resize(size);
    window.setWindowState(state);
    if (state == Qt::WindowNoState)
        window.move(at);
    const QPoint elsewhere(400, 300);
    h.host.main.resize(size);
    h.host.main.move(elsewhere);
    Finders::FinderFrame &index = h.window(Finder::Index);
    Finders::FinderFrame &history = h.window(Finder::History);
    for (QWidget *other : {static_cast<QWidget *>(&index), static_cast<QWidget *>(&history)}) {
        if (other == &window)
            continue;
        other->resize(size);
        other->move(elsewhere);
    }
    const QRect mainBefore = h.host.main.geometry();
    const QRect indexBefore = index.geometry();
    const QRect historyBefore = history.geometry();

    QList<std::pair<Qt::WindowStates, QRect>> atWait;
    h.clock.duringWait = [&] { atWait << std::pair(h.host.main.windowState(), h.host.main.geometry()); };
    if (command == u"Index"_s) {
        window.cmdIndex_Click();
    } else if (command == u"Back"_s) {
        window.cmdBack_Click();
    } else {
        select(window, 0);
        window.lbResults_DblClick();
    }

    QCOMPARE(atWait.size(), command == u"Index"_s ? 2 : command == u"Back"_s ? 0 : 1);
    if (!atWait.isEmpty()) {
        QCOMPARE(atWait.constFirst().first, Qt::WindowStates(state));
        QCOMPARE(atWait.constFirst().second, mainBefore);
    }
    QCOMPARE(h.host.main.windowState(), Qt::WindowStates(state));
    QList<QWidget *> placed{&h.host.main};
    if (command != u"choice"_s)
        placed << &index;
    if (command == u"Back"_s)
        placed << &history;
    const QRect workArea = window.screen()->availableGeometry();
    const QRect frame = window.frameGeometry();
    const QMargins margins(window.geometry().x() - frame.x(), window.geometry().y() - frame.y(), frame.right() - window.geometry().right(),
                           frame.bottom() - window.geometry().bottom());
    for (QWidget *target : placed) {
        QCOMPARE(target->windowState(), Qt::WindowStates(state));
        QCOMPARE(target->size(), size);
        if (state != Qt::WindowNoState) {
            QCOMPARE(target->geometry(), target == &index ? indexBefore : target == &history ? historyBefore : mainBefore);
        } else if (fits) {
            QCOMPARE(target->geometry().topLeft(), window.geometry().topLeft());
        } else {
            QVERIFY(target->geometry().topLeft() != window.geometry().topLeft());
            QVERIFY2(workArea.contains(target->geometry().marginsAdded(margins)),
                     qPrintable(u"%1 overhangs"_s.arg(target->objectName())));
        }
    }
    if (command == u"Index"_s) {
        QCOMPARE(h.events.constLast(), u"navigate index.vxp"_s);
        QVERIFY(window.isVisible()); // until the index window comes up
    } else if (command == u"Back"_s) {
        QCOMPARE(h.events.constLast(), u"back"_s);
    } else {
        QCOMPARE(h.events.constLast(), u"navigate kq010004.vxp"_s);
        QVERIFY(!window.isVisible()); // a choice steps back at once
    }
}

void TestFinderWindows::oneWindowUpAtATime()
{
    Harness h;
    h.host.main.show();
    Finders::FinderFrame &search = h.opened(Finder::Search);
    QVERIFY(search.isVisible());
    QVERIFY(!h.host.main.isVisible());

    Finders::FinderFrame &index = h.opened(Finder::Index);
    QVERIFY(index.isVisible());
    QVERIFY(!search.isVisible());

    // Activating a window by the window system has the same effect.
    search.show();
    search.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&search));
    QTRY_VERIFY(!index.isVisible());
    QVERIFY(!h.host.main.isVisible());

    // The main window's activation hides all three.
    h.host.main.show();
    h.finders.hideAll();
    QVERIFY(!search.isVisible());
    QVERIFY(!index.isVisible());
    QVERIFY(h.host.main.isVisible());
    // ... without making a window that was never asked for.
    QVERIFY(!h.finders.existing(Finder::History));
}

void TestFinderWindows::indexChoiceShowsItsPagesInTheSearchWindow()
{
    Harness h;
    Finders::FinderFrame &index = h.opened(Finder::Index);
    QVERIFY(!h.finders.existing(Finder::Search));
    QVERIFY(activate(index, &entryBox(index)));
    QTest::keyClicks(&entryBox(index), u"cab"_s);
    QCOMPARE(entries(index), (QStringList{u"cable "_s, u"cables "_s}));

    h.events.clear();
    doubleClick(index, 0);

    // The search window, never shown before, loaded its tables and searched
    // for the word with its trailing space: the pages of every index word
    // that begins with it, each once.
    Finders::FrmSearch &search = h.finders.frmSearch();
    QVERIFY(search.tablesLoaded());
    QCOMPARE(search.txtInput().text(), u"cable "_s);
    QCOMPARE(entries(search),
             (QStringList{u"Cable sizing "_s, u"Wiring the array "_s, u"What a PV system does "_s}));
    QCOMPARE(search.resultFiles(), (QStringList{u"kq030005.vxp"_s, u"kq020003.vxp"_s, u"kq010003.vxp"_s}));
    QCOMPARE(label(search), u"Found:  3 pages"_s);
    QCOMPARE(h.events, (QStringList{u"wait"_s, u"wait"_s, u"navigate search.vxp"_s}));
    QVERIFY(!index.isVisible());

    // An entry of two words runs the two-word search.
    h.events.clear();
    index.show();
    entryBox(index).setText(u"dc"_s);
    select(index, 0);
    index.lbResults_DblClick();
    QCOMPARE(search.txtInput().text(), u"dc cable "_s);
    QCOMPARE(entries(search), QStringList{u"Wiring the array "_s});
    QCOMPARE(label(search), u"Found:  1 pages"_s);
}

void TestFinderWindows::laterCommandOvertakesOneStillPausing_data()
{
    QTest::addColumn<Finder>("finder");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("during"); // given in the first pause, in the same window
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Index, then Contents") << Finder::Search << u"Index"_s << u"Contents"_s
                                          << QStringList{u"wait"_s, u"wait"_s, u"navigate kqg.vxp"_s};
    QTest::newRow("Index, then Back") << Finder::Search << u"Index"_s << u"Back"_s
                                      << QStringList{u"wait"_s, u"back"_s};
    QTest::newRow("history choice, then Search") << Finder::History << u"choice"_s << u"Search"_s
                                                 << QStringList{u"wait"_s, u"wait"_s, u"wait"_s,
                                                                u"navigate search.vxp"_s};
    QTest::newRow("index choice, then Contents") << Finder::Index << u"choice"_s << u"Contents"_s
                                                 << QStringList{u"wait"_s, u"wait"_s, u"navigate kqg.vxp"_s};
    QTest::newRow("Contents, then a search result's choice... nothing in the pause")
        << Finder::Search << u"Contents"_s << QString() << QStringList{u"wait"_s, u"navigate kqg.vxp"_s};
}

// A button or a choice given while an earlier command of a finder window
// is still handing the placement over runs at once, inside the pause; the
// earlier command then goes no further.
void TestFinderWindows::laterCommandOvertakesOneStillPausing()
{
    QFETCH(Finder, finder);
    QFETCH(QString, first);
    QFETCH(QString, during);
    QFETCH(QStringList, expected);
    Harness h;
    h.write(u"history.vxp"_s, historyOf({u"kq010004.vxp"_s}));
    Finders::FinderFrame &window = h.opened(finder);
    if (finder == Finder::Index) {
        entryBox(window).setText(u"cab"_s);
    }
    const auto give = [&window](const QString &command) {
        if (command == u"Index"_s)
            window.cmdIndex_Click();
        else if (command == u"Search"_s)
            window.cmdSearch_Click();
        else if (command == u"Contents"_s)
            window.cmdCont_Click();
        else if (command == u"Back"_s)
            window.cmdBack_Click();
        else {
            select(window, 0);
            window.lbResults_DblClick();
        }
    };
    bool given = false;
    h.clock.duringWait = [&] {
        if (!given && !during.isEmpty()) {
            given = true;
            give(during);
        }
    };
    give(first);
    QCOMPARE(h.events, expected);
}

void TestFinderWindows::indexNarrowsOnEveryChange()
{
    Harness h;
    Finders::FrmIndex &index = h.finders.frmIndex();
    index.LoadWords();
    QVERIFY(entries(index).isEmpty()); // until the entry box changes
    QCOMPARE(label(index), u"Found:"_s);

    const QList<std::pair<QString, QStringList>> steps = {
        {u"  CAB "_s, {u"cable "_s, u"cables "_s}},
        {u"cell"_s, {u"cell "_s}},
        {u"xyz"_s, {}},
        {u""_s, {u"cable "_s, u"cables "_s, u"cell "_s, u"dc cable "_s, u"module "_s}},
    };
    for (const auto &[text, expected] : steps) {
        index.txtInput().setText(text);
        QCOMPARE(entries(index), expected);
        QCOMPARE(label(index), u"Found:  %1 words"_s.arg(expected.size()));
    }
    // Read once: a second LoadWords does not read the file again.
    h.write(u"words.vxp"_s, "other\t1\t\r\n");
    index.LoadWords();
    index.txtInput().setText(u"o"_s);
    QVERIFY(entries(index).isEmpty());
}

void TestFinderWindows::searchWindow()
{
    Harness h;
    auto &search = static_cast<Finders::FrmSearch &>(h.opened(Finder::Search));
    auto *cmdFTS = child<QPushButton>(search, u"cmdFTS"_s);
    QCOMPARE(cmdFTS->text(), u"&Search"_s);

    search.txtInput().setText(u"CABLE"_s);
    cmdFTS->click();
    QCOMPARE(label(search), u"Found:  3 pages"_s);
    search.txtInput().setText(u"   "_s); // spaces only: the list stays
    cmdFTS->click();
    QCOMPARE(entries(search).size(), 3);
    QCOMPARE(label(search), u"Found:  3 pages"_s);

    // A new search: the third entry opens the third page of the new list.
    search.txtInput().setText(u"cables  module extra"_s);
    cmdFTS->click();
    QCOMPARE(entries(search), (QStringList{u"What a PV system does "_s}));
    search.txtInput().setText(u"c"_s);
    cmdFTS->click();
    QCOMPARE(search.resultFiles(),
             (QStringList{u"kq030005.vxp"_s, u"kq020003.vxp"_s, u"kq010003.vxp"_s, u"kq010004.vxp"_s}));
    h.events.clear();
    doubleClick(search, 2);
    QCOMPARE(h.events, (QStringList{u"show c on kq010003.vxp"_s, u"wait"_s, u"navigate kq010003.vxp"_s}));
    QVERIFY(!search.isVisible());

    // Tables are loaded once per run.
    h.write(u"words.vxp"_s, QByteArray());
    h.finders.load(Finder::Search);
    cmdFTS->click();
    QCOMPARE(entries(search).size(), 4);
}

void TestFinderWindows::searchNamesTheWordsItLeftOut()
{
    Harness h;
    auto &search = static_cast<Finders::FrmSearch &>(h.opened(Finder::Search));
    search.txtInput().setText(u"cables  module extra more"_s);
    search.cmdFTS_Click();
    // The count is the two words' own.
    QCOMPARE(label(search), u"Found:  1 pages"_s);
    QCOMPARE(label(search, u"lblLeftOut"_s),
             u"Only \"cables\" and \"module\" were looked for: a search takes two words at most, so \"extra\" and"
             " \"more\" were left out."_s);
    QVERIFY(child<QLabel>(search, u"lblLeftOut"_s)->isVisibleTo(&search));
    search.txtInput().setText(u"cables module"_s);
    search.cmdFTS_Click();
    QCOMPARE(label(search, u"lblLeftOut"_s), QString());
}

void TestFinderWindows::suggestionsWhenNothingIsFound_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("runs");
    QTest::addColumn<QStringList>("found");
    const QStringList cable{u"Cable sizing "_s, u"Wiring the array "_s, u"What a PV system does "_s};
    QTest::newRow("a slip, clicked") << u"cabel"_s << QStringList{u"cable   (3 pages)"_s} << u"click"_s << u"cable"_s
                                     << cable;
    QTest::newRow("a slip, Enter") << u"cabel"_s << QStringList{u"cable   (3 pages)"_s} << u"Enter"_s << u"cable"_s
                                   << cable;
    // No page has both: each word alone, the second one by keyboard.
    QTest::newRow("two words, each alone, the second")
        << u"(cabel), cell"_s << QStringList{u"cable   (3 pages)"_s, u"cell   (1 page)"_s} << u"Down Enter"_s
        << u"cell"_s << QStringList{u"Cells and modules "_s};
    QTest::newRow("two words, one replaced")
        << u"modle cell"_s << QStringList{u"module cell   (1 page)"_s} << u"click"_s << u"module cell"_s
        << QStringList{u"Cells and modules "_s};
}

// A search that finds nothing offers the closest searches in the list's
// place; one click or Enter runs one, and the pages it finds take the
// list's place again.
void TestFinderWindows::suggestionsWhenNothingIsFound()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, offered);
    QFETCH(QString, how);
    QFETCH(QString, runs);
    QFETCH(QStringList, found);
    Harness h;
    auto &search = static_cast<Finders::FrmSearch &>(h.opened(Finder::Search));
    QVERIFY(activate(search, &search.txtInput()));
    search.txtInput().setText(typed);
    QTest::keyClick(&search.txtInput(), Qt::Key_Return);

    QCOMPARE(label(search), u"Found:  0 pages"_s);
    Finders::SuggestionList &suggestions = search.suggestions();
    QListView *offeredList = suggestions.list();
    QVERIFY(suggestions.isVisibleTo(&search));
    QVERIFY(!list(search).isVisibleTo(&search));
    QCOMPARE(suggestions.entries(), offered);
    QCOMPARE(suggestions.geometry(), list(search).geometry());
    // What a screen reader says: the list, why it is there, and each entry.
    QCOMPARE(offeredList->accessibleName(), u"Suggested searches"_s);
    QCOMPARE(offeredList->accessibleDescription(), suggestions.headline());
    QVERIFY2(suggestions.headline().startsWith(u"No page has"_s), qPrintable(suggestions.headline()));
    QVERIFY(search.resultFiles().isEmpty());

    // Tab from the entry box and the Search button reaches the suggestions.
    QTest::keyClick(&search.txtInput(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(offeredList));
    if (how == u"click"_s) {
        const QRect first = offeredList->visualRect(offeredList->model()->index(0, 0));
        QTest::mouseClick(offeredList->viewport(), Qt::LeftButton, {}, first.center());
    } else {
        for (const QString &key : how.split(u' ')) {
            QTest::keyClick(offeredList, key == u"Down"_s ? Qt::Key_Down : Qt::Key_Return);
        }
    }
    QCOMPARE(search.txtInput().text(), runs);
    QCOMPARE(entries(search), found);
    QCOMPARE(label(search), u"Found:  %1 pages"_s.arg(found.size()));
    QVERIFY(!suggestions.isVisibleTo(&search));
    QVERIFY(list(search).isVisibleTo(&search));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(&list(search)));
    // A learner used to double-clicking results double-clicks the
    // suggestion too: the second click lands on the pages it found and
    // must not open one. A moment later a choice opens its page again.
    h.events.clear();
    select(search, 0);
    search.lbResults_DblClick();
    QCOMPARE(h.events, QStringList());
    QVERIFY(search.isVisible());
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    search.lbResults_DblClick();
    QCOMPARE(h.events.value(0), u"show %1 on %2"_s.arg(runs.split(u' ').join(u'|'), search.resultFiles().value(0)));
}

// Print with the help picture hidden prints the window's own list, not
// the trigger page behind it.
void TestFinderWindows::printsWhatTheWindowShows()
{
    Harness h;
    h.write(u"history.vxp"_s, historyOf({u"kq010003.vxp"_s, u"kq020003.vxp"_s}));
    auto &search = static_cast<Finders::FrmSearch &>(h.opened(Finder::Search));
    const auto print = [&](Finders::FinderFrame &window) {
        h.events.clear();
        child<QPushButton>(window, u"cmdPrint"_s)->click();
        return h.events;
    };

    search.txtInput().setText(u"cable cable extra"_s);
    search.cmdFTS_Click();
    QCOMPARE(print(search), QStringList{u"print frmSearch list"_s});
    Finders::FinderPrintout printout = h.host.printout;
    QCOMPARE(printout.documentName, u"Tamberlyn search"_s);
    QCOMPARE(printout.caption, u"Tamberlyn - Search"_s);
    QCOMPARE(printout.lines.mid(0, 2), (QStringList{u"Search words: cable cable extra"_s, u"Found:  3 pages"_s}));
    QCOMPARE(printout.lines.at(2), label(search, u"lblLeftOut"_s));
    QCOMPARE(printout.listHeading, u"Search Results:"_s);
    QCOMPARE(printout.entries, entries(search));

    search.txtInput().setText(u"cabel"_s);
    search.cmdFTS_Click();
    print(search);
    printout = h.host.printout;
    QCOMPARE(printout.lines,
             (QStringList{u"Search words: cabel"_s, u"Found:  0 pages"_s, search.suggestions().headline()}));
    QCOMPARE(printout.entries, QStringList{u"cable   (3 pages)"_s});

    Finders::FinderFrame &index = h.opened(Finder::Index);
    entryBox(index).setText(u"ca"_s);
    QCOMPARE(print(index), QStringList{u"print frmIndex list"_s});
    printout = h.host.printout;
    QCOMPARE(printout.lines, (QStringList{u"Words beginning with: ca"_s, u"Found:  2 words"_s}));
    QCOMPARE(printout.listHeading, u"Index Results:"_s);
    QCOMPARE(printout.entries, (QStringList{u"cable "_s, u"cables "_s}));

    Finders::FinderFrame &history = h.opened(Finder::History);
    QCOMPARE(print(history), QStringList{u"print frmHist list"_s});
    QCOMPARE(h.host.printout.entries, (QStringList{u"What a PV system does"_s, u"Wiring the array"_s}));
    QCOMPARE(h.host.printout.caption, u"Tamberlyn - History"_s);

    // With the help picture shown, the picture is printed instead.
    history.cmdHelp_Click();
    QCOMPARE(print(history), QStringList{u"print frmHist help"_s});
}

void TestFinderWindows::enterInEachWindow_data()
{
    QTest::addColumn<Finder>("finder");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("staysUp");

    const QStringList none;
    QTest::newRow("search: entry box searches") << Finder::Search << u"txtInput"_s << 0 << none << true;
    // The page shows the words the list was found for, not what the entry
    // box holds by the time of the choice.
    QTest::newRow("search: list opens the page")
        << Finder::Search << u"lbResults"_s << 1
        << QStringList{u"show cable on kq020003.vxp"_s, u"wait"_s, u"navigate kq020003.vxp"_s} << false;
    QTest::newRow("search: list, none selected") << Finder::Search << u"lbResults"_s << -1 << none << true;
    QTest::newRow("search: a bar button") << Finder::Search << u"cmdCont"_s << 1 << none << true;
    // In the other two, Enter anywhere chooses the selected entry.
    QTest::newRow("index: from the entry box")
        << Finder::Index << u"txtInput"_s << 1 << QStringList{u"wait"_s, u"wait"_s, u"navigate search.vxp"_s}
        << false;
    QTest::newRow("index: from a bar button")
        << Finder::Index << u"cmdCalc"_s << 0 << QStringList{u"wait"_s, u"wait"_s, u"navigate search.vxp"_s}
        << false;
    QTest::newRow("index: none selected") << Finder::Index << u"txtInput"_s << -1 << none << true;
    QTest::newRow("history: from the list")
        << Finder::History << u"lbResults"_s << 1 << QStringList{u"wait"_s, u"navigate kq010004.vxp"_s} << false;
    QTest::newRow("history: from a bar button")
        << Finder::History << u"cmdPrint"_s << 0 << QStringList{u"wait"_s, u"navigate kq010003.vxp"_s} << false;
    QTest::newRow("history: none selected") << Finder::History << u"lbResults"_s << -1 << none << true;
}

void TestFinderWindows::enterInEachWindow()
{
    QFETCH(Finder, finder);
    QFETCH(QString, focus);
    QFETCH(int, selected);
    QFETCH(QStringList, events);
    QFETCH(bool, staysUp);
    Harness h;
    h.write(u"history.vxp"_s, historyOf({u"kq010003.vxp"_s, u"kq010004.vxp"_s}));
    Finders::FinderFrame &window = h.opened(finder);
    if (finder != Finder::History) {
        entryBox(window).setText(u"cable"_s);
        if (finder == Finder::Search)
            static_cast<Finders::FrmSearch &>(window).cmdFTS_Click();
        entryBox(window).setText(finder == Finder::Search ? u"cell"_s : u"cable"_s);
    }
    select(window, selected);
    QWidget *target = child<QWidget>(window, focus);
    QVERIFY(activate(window, target));
    h.events.clear();

    QTest::keyClick(target, Qt::Key_Return);
    QCOMPARE(h.events, events);
    QCOMPARE(window.isVisible(), staysUp);
    if (finder == Finder::Search && focus == u"txtInput"_s) {
        // The box searched, and took no character.
        QCOMPARE(entryBox(window).text(), u"cell"_s);
        QCOMPARE(entries(window), QStringList{u"Cells and modules "_s});
    }
    if (finder == Finder::Index && selected >= 0)
        QCOMPARE(h.finders.frmSearch().txtInput().text(), entries(window).at(selected));
}

void TestFinderWindows::keys_data()
{
    QTest::addColumn<Finder>("finder");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("helpBefore");
    QTest::addColumn<bool>("helpAfter");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("typed");

    const Qt::KeyboardModifiers alt = Qt::AltModifier;
    const Qt::KeyboardModifiers plain;
    const QStringList back = {u"back"_s};
    // Any key hides the help picture, Esc included; in the search window Esc
    // presses Help and so toggles it.
    QTest::newRow("index: Esc hides") << Finder::Index << int(Qt::Key_Escape) << plain << true << false
                                      << QStringList{} << u""_s;
    QTest::newRow("history: Esc hides") << Finder::History << int(Qt::Key_Escape) << plain << true << false
                                        << QStringList{} << u""_s;
    QTest::newRow("search: Esc shows") << Finder::Search << int(Qt::Key_Escape) << plain << false << true
                                       << QStringList{} << u""_s;
    QTest::newRow("search: Esc hides") << Finder::Search << int(Qt::Key_Escape) << plain << true << false
                                       << QStringList{} << u""_s;
    QTest::newRow("search: a letter hides and types") << Finder::Search << int(Qt::Key_Q) << plain << true
                                                      << false << QStringList{} << u"q"_s;
    QTest::newRow("index: a letter hides and types") << Finder::Index << int(Qt::Key_Q) << plain << true << false
                                                     << QStringList{} << u"q"_s;
    for (const Finder finder : {Finder::Search, Finder::Index, Finder::History}) {
        const char *name = finder == Finder::Search ? "search" : finder == Finder::Index ? "index" : "history";
        const QString own = finder == Finder::Search ? u"frmSearch"_s
                            : finder == Finder::Index ? u"frmIndex"_s
                                                      : u"frmHist"_s;
        QTest::addRow("%s: Alt+Q asks to quit", name)
            << finder << int(Qt::Key_Q) << alt << true << false << QStringList{u"quit? "_s + own} << u""_s;
        QTest::addRow("%s: Alt+comma goes back", name)
            << finder << int(Qt::Key_Comma) << alt << false << false << back << u""_s;
        QTest::addRow("%s: Alt+period goes back", name)
            << finder << int(Qt::Key_Period) << alt << false << false << back << u""_s;
        QTest::addRow("%s: Alt+Shift+period goes back", name)
            << finder << int(Qt::Key_Greater) << (alt | Qt::ShiftModifier) << false << false << back << u""_s;
    }
}

void TestFinderWindows::keys()
{
    QFETCH(Finder, finder);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, helpBefore);
    QFETCH(bool, helpAfter);
    QFETCH(QStringList, events);
    QFETCH(QString, typed);
    Harness h;
    Finders::FinderFrame &window = h.opened(finder);
    QWidget *focus = finder == Finder::History ? static_cast<QWidget *>(&list(window)) : &entryBox(window);
    QVERIFY(activate(window, focus));
    if (helpBefore)
        window.cmdHelp_Click();

    QTest::keyClick(focus, Qt::Key(key), modifiers);
    QCOMPARE(helpShown(window), helpAfter);
    QCOMPARE(h.events, events);
    if (finder != Finder::History)
        QCOMPARE(entryBox(window).text(), typed);
}

// Coming into a list by keyboard selects nothing (Enter then does
// nothing); the first arrow key selects the first entry, even an only one.
void TestFinderWindows::firstArrowKeySelectsTheFirstEntry()
{
    Harness h;
    h.write(u"history.vxp"_s, historyOf({u"kq010004.vxp"_s}));
    Finders::FinderFrame &hist = h.opened(Finder::History);
    QVERIFY(activate(hist, &list(hist)));
    QTest::keyClick(&list(hist), Qt::Key_Return);
    QVERIFY(h.events.isEmpty());
    QTest::keyClick(&list(hist), Qt::Key_Down);
    QTest::keyClick(&list(hist), Qt::Key_Return);
    QCOMPARE(h.events, (QStringList{u"wait"_s, u"navigate kq010004.vxp"_s}));
}

void TestFinderWindows::closeAsksToQuitAndStays_data()
{
    QTest::addColumn<Finder>("finder");
    QTest::newRow("search") << Finder::Search;
    QTest::newRow("index") << Finder::Index;
    QTest::newRow("history") << Finder::History;
}

// The close box asks the quit question with this window as its owner; the
// window never closes by itself (a yes ends the program in the question).
void TestFinderWindows::closeAsksToQuitAndStays()
{
    QFETCH(Finder, finder);
    Harness h;
    Finders::FinderFrame &window = h.opened(finder);
    QVERIFY(window.isVisible());
    QVERIFY(!window.close());
    QCOMPARE(h.events, QStringList{u"quit? "_s + window.objectName()});
    QVERIFY(window.isVisible());
}

void TestFinderWindows::resizing_data()
{
    QTest::addColumn<Finder>("finder");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("list");
    QTest::addColumn<int>("boxWidth");
    QTest::addColumn<int>("searchButtonLeft");
    // 1000 x 800: the list 95% x 80%; the search box 95% less the button
    // and 20 pixels, the button at 88%; the index box 80%.
    QTest::newRow("search") << Finder::Search << QSize(1000, 800) << QSize(950, 640) << 841 << 880;
    QTest::newRow("index") << Finder::Index << QSize(1000, 800) << QSize(950, 640) << 800 << -1;
    QTest::newRow("history") << Finder::History << QSize(1000, 800) << QSize(950, 640) << -1 << -1;
    // Far too small for the entry row: widths stop at nothing.
    QTest::newRow("search, tiny") << Finder::Search << QSize(100, 50) << QSize(95, 40) << 0 << 88;
}

void TestFinderWindows::resizing()
{
    QFETCH(Finder, finder);
    QFETCH(QSize, size);
    QFETCH(QSize, list);
    QFETCH(int, boxWidth);
    QFETCH(int, searchButtonLeft);
    Harness h;
    Finders::FinderFrame &window = h.opened(finder);
    window.resize(size);
    QCOMPARE(::list(window).size(), list);
    if (boxWidth >= 0)
        QCOMPARE(entryBox(window).width(), boxWidth);
    if (searchButtonLeft >= 0)
        QCOMPARE(child<QPushButton>(window, u"cmdFTS"_s)->x(), searchButtonLeft);
    // The button bar and the places of the controls do not move.
    QCOMPARE(child<QPushButton>(window, u"cmdSecn"_s)->geometry(), QRect(597, 2, 65, 19));
    QCOMPARE(::list(window).pos(), finder == Finder::History ? QPoint(24, 32) : QPoint(24, 112));

    // Dragged off the left edge, the window comes back at its next resize.
    window.move(-50, 30);
    window.resize(size + QSize(10, 10));
    QCOMPARE(window.pos(), QPoint(100, 100));
}

void TestFinderWindows::historyList()
{
    Harness h;
    h.write(u"history.vxp"_s, historyOf({u"kq010003.vxp"_s, u"kqd.vxp"_s, u"kq010003.vxp"_s}) + "\"kq030005.vxp\"");
    Finders::FrmHist &hist = h.finders.frmHist();
    hist.LoadHist();
    const QStringList titles = {u"What a PV system does"_s, u"What a PV system does"_s, u"Cable sizing"_s};
    QCOMPARE(entries(hist), titles);
    QVERIFY(hist.isVisible());

    // Every showing reads the list afresh; nothing doubles.
    h.finders.show(Finder::History);
    QCOMPARE(entries(hist), titles);

    h.events.clear();
    doubleClick(hist, 1);
    QCOMPARE(h.events, (QStringList{u"wait"_s, u"navigate kq010003.vxp"_s}));

    // Without its page table the list shows the lines as stored, once, and
    // choosing one opens the base address alone.
    QVERIFY(QFile::remove(h.dir.filePath(u"files.vxp"_s)));
    const QStringList raw = {u"\"kq010003.vxp\""_s, u"\"kqd.vxp\""_s, u"\"kq010003.vxp\""_s, u"\"kq030005.vxp\""_s};
    h.finders.show(Finder::History);
    QCOMPARE(entries(hist), raw);
    h.finders.show(Finder::History);
    QCOMPARE(entries(hist), raw);
    h.events.clear();
    select(hist, 0);
    hist.lbResults_DblClick();
    QCOMPARE(h.events, (QStringList{u"wait"_s, u"navigate "_s}));
}

void TestFinderWindows::overLimitTablesAreTold_data()
{
    QTest::addColumn<Finder>("finder");
    QTest::addColumn<QByteArray>("files");
    QTest::addColumn<QByteArray>("words");
    QTest::addColumn<QByteArray>("history");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("entries"); // in the list after the load (index: for an empty entry)

    const QByteArray fullFiles = linesOf(12400, "1\tkq010003.vxp\tTitle\r\n");
    const QByteArray overFiles = fullFiles + "12401\tkq010004.vxp\tOne too many\r\n";
    const QByteArray fullWords = linesOf(12400, "w\t1\t\r\n");
    const QByteArray overWords = fullWords + "x\t1\t\r\n";
    const QByteArray fullHistory = linesOf(12400, "\"kq010003.vxp\"\r\n");
    const QByteArray overHistory = fullHistory + "\"kq010004.vxp\"\r\n";
    const QByteArray none;

    QTest::newRow("index, 12400 words") << Finder::Index << Files << fullWords << none << QStringList{} << 12400;
    QTest::newRow("index, 12401 words") << Finder::Index << Files << overWords << none
                                        << QStringList{u"Too many words!"_s} << 12400;
    QTest::newRow("search, both over") << Finder::Search << overFiles << overWords << none
                                       << QStringList{u"Too many files!"_s, u"Too many words!"_s} << 0;
    QTest::newRow("history, 12400 lines") << Finder::History << Files << Words << fullHistory << QStringList{}
                                          << 12400;
    // No matching with an over-full page table: the raw lines show.
    QTest::newRow("history, both over") << Finder::History << overFiles << Words << overHistory
                                        << QStringList{u"Too many History entries!"_s, u"Too many files!"_s}
                                        << 12400;
}

void TestFinderWindows::overLimitTablesAreTold()
{
    QFETCH(Finder, finder);
    QFETCH(QByteArray, files);
    QFETCH(QByteArray, words);
    QFETCH(QByteArray, history);
    QFETCH(QStringList, messages);
    QFETCH(int, entries);
    Harness h(files, words);
    if (!history.isNull())
        h.write(u"history.vxp"_s, history);
    h.host.main.show(); // the trigger page is up in it
    for (qsizetype i = 0; i < messages.size(); ++i)
        h.dialogs.answers.push_back(Platform::Dialogs::Answer::Ok);

    h.finders.load(finder);
    QStringList told;
    for (const Platform::Dialogs::Box &box : std::as_const(h.dialogs.shown)) {
        told << box.text;
        QCOMPARE(box.title, u"Tamberlyn"_s);
        QCOMPARE(box.buttons, Platform::Dialogs::Buttons::Ok);
    }
    QCOMPARE(told, messages);
    QWidget &window = h.window(finder);
    QVERIFY(window.isVisible()); // shown with what could be read
    if (finder == Finder::Index)
        entryBox(window).setText(u" "_s);
    QCOMPARE(::entries(window).size(), entries);
    if (finder == Finder::History && !messages.isEmpty())
        QCOMPARE(::entries(window).constFirst(), u"\"kq010003.vxp\""_s);
}

QTEST_MAIN(TestFinderWindows)
#include "tst_finderwindows.moc"
