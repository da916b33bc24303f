#include "e2eharness.h"
#include "pagevisits.h"

#include "finders/finderfiles.h"
#include "history/historyloader.h"
#include "tables/tablefiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

namespace {

// The engine's first start on a busy machine is slow; later pages are not.
constexpr int FirstPageTimeoutMs = 90000;
constexpr int PageTimeoutMs = 30000;

const QString MainWindow = u"^Tamberlyn( - Module [0-9]+)?$"_s;
const QString SearchWindow = u"^Tamberlyn - Search$"_s;
const QString IndexWindow = u"^Tamberlyn - Index$"_s;
const QString HistoryWindow = u"^Tamberlyn - History$"_s;

// The button bars of all four windows share their places: one row at the
// top of the client area, 66 pixels apart.
QPoint buttonCentre(int place)
{
    return {3 + 66 * place + 65 / 2, 2 + 19 / 2};
}
constexpr int MainSearchButton = 2;
constexpr int SearchIndexButton = 2;
constexpr int HistoryButton = 6;

// The learner at the viewer, and what the viewer reports back.
class Learner final
{
public:
    Learner(E2eHarness &harness, QProcess *viewer)
        : m_harness(harness)
        , m_viewer(viewer)
    {
    }

    // Every page the page-load handler has handled so far, in order.
    QStringList handledPages() const { return PageVisits::handledPages(E2eHarness::output(m_viewer)); }

    // Waits for the next page the handler handles after the `seen` first
    // ones, and tells whether it is `page`.
    bool nextPageIs(qsizetype seen, const QString &page, int timeoutMs = PageTimeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        QStringList pages = handledPages();
        while (pages.size() <= seen && !deadline.hasExpired() && m_viewer->state() == QProcess::Running) {
            m_viewer->waitForReadyRead(200);
            pages = handledPages();
        }
        if (pages.size() > seen && pages.at(seen) == page)
            return true;
        m_problem = u"expected page %1 after %2, handled: %3"_s.arg(page).arg(seen).arg(pages.join(u' '));
        return false;
    }

    bool saw(const QString &text, int timeoutMs = PageTimeoutMs)
    {
        if (E2eHarness::waitForOutput(m_viewer, text, timeoutMs))
            return true;
        m_problem = u"no \"%1\" in the viewer's output"_s.arg(text);
        return false;
    }

    // The visible windows whose title matches `title`.
    QStringList visibleWindows(const QString &title)
    {
        QString found;
        // xdotool exits with an error when nothing matches.
        m_harness.runOnDisplay(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, title}, &found);
        return found.split(u'\n', Qt::SkipEmptyParts);
    }

    // Waits until exactly one window with this title is up, and no other
    // of the four big windows is: returns its id.
    QString theOnlyWindowUp(const QString &title, int timeoutMs = PageTimeoutMs)
    {
        const QStringList all = {MainWindow, SearchWindow, IndexWindow, HistoryWindow};
        const QDeadlineTimer deadline(timeoutMs);
        while (true) {
            const QStringList wanted = visibleWindows(title);
            qsizetype others = 0;
            for (const QString &other : all) {
                if (other != title)
                    others += visibleWindows(other).size();
            }
            if (wanted.size() == 1 && others == 0)
                return wanted.constFirst();
            if (deadline.hasExpired()) {
                m_problem = u"%1 windows titled %2 and %3 other big windows up"_s.arg(wanted.size()).arg(title).arg(others);
                return {};
            }
            QTest::qWait(100);
        }
    }

    bool click(const QString &window, int buttonPlace)
    {
        const QPoint at = buttonCentre(buttonPlace);
        return run({u"mousemove"_s, u"--window"_s, window, QString::number(at.x()), QString::number(at.y()),
                    u"click"_s, u"1"_s});
    }

    // Keys go to the window that has the focus; make sure it is this one.
    bool type(const QString &window, const QString &text)
    {
        return activate(window) && run({u"type"_s, u"--delay"_s, u"60"_s, text});
    }

    bool keys(const QString &window, const QStringList &keys)
    {
        if (!activate(window))
            return false;
        for (const QString &key : keys) {
            if (!run({u"key"_s, u"--delay"_s, u"60"_s, key}))
                return false;
        }
        return true;
    }

    // The viewer's own lines only: the browser engine's start-up report
    // would push them out of the failure message.
    QString problem() const { return m_problem + u"\n--- viewer log ---\n"_s + E2eHarness::viewerLines(m_viewer); }

private:
    bool activate(const QString &window) { return run({u"windowactivate"_s, u"--sync"_s, window}); }

    bool run(const QStringList &arguments)
    {
        if (m_harness.runOnDisplay(u"xdotool"_s, arguments))
            return true;
        m_problem = m_harness.error();
        return false;
    }

    E2eHarness &m_harness;
    QProcess *m_viewer;
    QString m_problem;
};

QByteArray lastRecord(const QString &historyFile)
{
    QFile file(historyFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> records = file.readAll().split('\n');
    return records.size() >= 2 ? records.at(records.size() - 2) : QByteArray();
}

} // namespace

class TestFindersEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void searchIndexAndHistoryOpenPagesInTheMainWindow();
};

// On the demo course, with its index beside the viewer: a search from the
// button bar opens its third result; the index, opened from the search
// window, hands a word to the search; the history reopens a page seen.
// What each window should list comes from the same index files, read here.
void TestFindersEndToEnd::searchIndexAndHistoryOpenPagesInTheMainWindow()
{
    const QString programFolder = QFileInfo(QStringLiteral(TAMBERLYN_VIEWER)).absolutePath();
    if (!QFile::exists(Tables::wordsFilePath(programFolder)) || !QFile::exists(Tables::filesFilePath(programFolder)))
        QSKIP("the demo course's word index has not been built beside the viewer");
    const Tables::TableFileReader reader;
    const Finders::SearchIndex search = Finders::loadSearchIndex(reader, programFolder).index;
    const Finders::WordIndex words = Finders::loadWordIndex(reader, programFolder).index;

    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1920, 1080}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    QProcess *viewer = harness.startViewer();
    QVERIFY2(viewer->state() == QProcess::Running, qPrintable(u"viewer: "_s + viewer->errorString()));
    Learner learner(harness, viewer);
    const QString historyFile = harness.dornDir() + u"history.vxp"_s;

    QVERIFY2(learner.nextPageIs(0, u"kqg.vxp"_s, FirstPageTimeoutMs), qPrintable(learner.problem()));
    const QString main = learner.theOnlyWindowUp(MainWindow);
    QVERIFY2(!main.isEmpty(), qPrintable(learner.problem()));

    // Search from the main window's button bar; the search window takes
    // the main window's place.
    qsizetype seen = learner.handledPages().size();
    QVERIFY2(learner.click(main, MainSearchButton), qPrintable(learner.problem()));
    QVERIFY2(learner.nextPageIs(seen, u"search.vxp"_s), qPrintable(learner.problem()));
    if (E2eHarness::output(viewer).contains(u"windows are not part of this build"_s))
        QSKIP("the viewer has no finder windows wired in (FrmVK::setFinderWindows)");
    QString searchWindow = learner.theOnlyWindowUp(SearchWindow);
    QVERIFY2(!searchWindow.isEmpty(), qPrintable(learner.problem()));

    const QString query = u"cable"_s;
    const std::optional<Finders::SearchResult> found = search.search(query);
    QVERIFY(found && found->count() >= 3);
    QVERIFY2(learner.type(searchWindow, query), qPrintable(learner.problem()));
    QVERIFY2(learner.keys(searchWindow, {u"Return"_s}), qPrintable(learner.problem()));
    QVERIFY2(learner.saw(u"tamberlyn.finders: search %1 found %2 pages"_s.arg(query).arg(found->count())),
             qPrintable(learner.problem()));

    // The third result, by keyboard: from the entry box to the list.
    seen = learner.handledPages().size();
    QVERIFY2(learner.keys(searchWindow, {u"Tab"_s, u"Tab"_s, u"Home"_s, u"Down"_s, u"Down"_s, u"Return"_s}),
             qPrintable(learner.problem()));
    const QString third = found->resultFiles.at(2);
    QVERIFY2(learner.nextPageIs(seen, third), qPrintable(learner.problem()));
    QVERIFY2(!learner.theOnlyWindowUp(MainWindow).isEmpty(), qPrintable(learner.problem()));

    // Search again, and from there the Index.
    seen = learner.handledPages().size();
    QVERIFY2(learner.click(main, MainSearchButton), qPrintable(learner.problem()));
    QVERIFY2(learner.nextPageIs(seen, u"search.vxp"_s), qPrintable(learner.problem()));
    searchWindow = learner.theOnlyWindowUp(SearchWindow);
    QVERIFY2(!searchWindow.isEmpty(), qPrintable(learner.problem()));
    seen = learner.handledPages().size();
    QVERIFY2(learner.click(searchWindow, SearchIndexButton), qPrintable(learner.problem()));
    QVERIFY2(learner.nextPageIs(seen, u"index.vxp"_s), qPrintable(learner.problem()));
    const QString indexWindow = learner.theOnlyWindowUp(IndexWindow);
    QVERIFY2(!indexWindow.isEmpty(), qPrintable(learner.problem()));

    // A word chosen in the index is searched for in the search window.
    const QString prefix = u"inver"_s;
    const QStringList listed = words.narrow(prefix).entries;
    QVERIFY(!listed.isEmpty());
    const QString word = listed.constFirst();
    const std::optional<Finders::SearchResult> wordPages = search.search(word);
    QVERIFY(wordPages);
    QVERIFY2(learner.type(indexWindow, prefix), qPrintable(learner.problem()));
    seen = learner.handledPages().size();
    QVERIFY2(learner.keys(indexWindow, {u"Tab"_s, u"Home"_s, u"Return"_s}), qPrintable(learner.problem()));
    QVERIFY2(learner.saw(u"tamberlyn.finders: search %1 found %2 pages"_s.arg(word).arg(wordPages->count())),
             qPrintable(learner.problem()));
    QVERIFY2(learner.nextPageIs(seen, u"search.vxp"_s), qPrintable(learner.problem()));
    searchWindow = learner.theOnlyWindowUp(SearchWindow);
    QVERIFY2(!searchWindow.isEmpty(), qPrintable(learner.problem()));

    // History from the search window; its last item is the page opened
    // from the search above, and choosing it opens that page again.
    seen = learner.handledPages().size();
    QVERIFY2(learner.click(searchWindow, HistoryButton), qPrintable(learner.problem()));
    QVERIFY2(learner.nextPageIs(seen, u"hist.vxp"_s), qPrintable(learner.problem()));
    const QString historyWindow = learner.theOnlyWindowUp(HistoryWindow);
    QVERIFY2(!historyWindow.isEmpty(), qPrintable(learner.problem()));
    const QList<History::HistoryItem> items =
        History::HistoryLoader(reader).LoadHist(historyFile, Tables::filesFilePath(programFolder)).items;
    QVERIFY(!items.isEmpty());
    QCOMPARE(items.constLast().pageToOpen(), third);

    seen = learner.handledPages().size();
    QVERIFY2(learner.keys(historyWindow, {u"End"_s, u"Return"_s}), qPrintable(learner.problem()));
    QVERIFY2(learner.nextPageIs(seen, third), qPrintable(learner.problem()));
    QVERIFY2(!learner.theOnlyWindowUp(MainWindow).isEmpty(), qPrintable(learner.problem()));
    // The page reopened is a visit like any other.
    QTRY_COMPARE_WITH_TIMEOUT(lastRecord(historyFile), '"' + third.toLatin1() + "\"\r", PageTimeoutMs);
}

QTEST_GUILESS_MAIN(TestFindersEndToEnd)
#include "tst_finders_e2e.moc"
