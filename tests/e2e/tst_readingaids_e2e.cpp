#include "e2eharness.h"
#include "pagevisits.h"

#include "finders/finderfiles.h"
#include "tables/tablefiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <functional>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

namespace {

// The engine's first start on a busy machine is slow; later pages are not.
constexpr int FirstPageTimeoutMs = 90000;
constexpr int PageTimeoutMs = 30000;
// The button bar above the page: one row, 24 pixels high.
constexpr int PageTop = 24;
constexpr int NextButton = 5;

// A viewer on the demo course, its course window driven with xdotool, and
// what it logs.
class CourseWindow final
{
public:
    explicit CourseWindow(E2eHarness &harness)
        : m_harness(harness)
    {
    }

    // Starts a viewer and waits for its first page, the contents page made
    // for a 1280 x 1024 screen.
    bool start()
    {
        m_viewer = m_harness.startViewer();
        return waitForLine(u"document complete: .*/kqd\\.vxp"_s, 0, FirstPageTimeoutMs) && find();
    }

    // Ends the viewer as a crash would.
    void kill()
    {
        m_viewer->kill();
        m_viewer->waitForFinished(10000);
    }

    bool find()
    {
        m_window = m_harness.findWindow(u"^Tamberlyn"_s);
        return !m_window.isEmpty() || fail(u"no course window"_s);
    }

    QString id() const { return m_window; }

    // Keys go to the window with the focus; make sure it is this one.
    bool keys(const QStringList &keys)
    {
        if (!xdotool({u"windowactivate"_s, u"--sync"_s, m_window}))
            return false;
        for (const QString &key : keys) {
            if (!xdotool({u"key"_s, u"--delay"_s, u"60"_s, key}))
                return false;
        }
        return true;
    }

    bool type(const QString &text)
    {
        return xdotool({u"windowactivate"_s, u"--sync"_s, m_window})
               && xdotool({u"type"_s, u"--delay"_s, u"60"_s, text});
    }

    bool clickButton(int index) { return m_harness.clickBarButton(m_window, index) || fail(m_harness.error()); }

    bool xdotool(const QStringList &arguments)
    {
        return m_harness.runOnDisplay(u"xdotool"_s, arguments) || fail(m_harness.error());
    }

    // Waits for a log line matching `pattern` after the first `after` characters of the log.
    std::optional<QRegularExpressionMatch> waitForLine(const QString &pattern, qsizetype after = 0,
                                                       int timeoutMs = PageTimeoutMs)
    {
        auto match = E2eHarness::waitForMatch(m_viewer, pattern, after, timeoutMs);
        if (!match)
            fail(u"no line matching \"%1\" in the viewer's log"_s.arg(pattern));
        return match;
    }

    qsizetype logSize() const { return E2eHarness::output(m_viewer).size(); }

    // The window's client area as it shows now; the last one of each name
    // is kept in the build folder to look at.
    QImage screenshot(const QString &name)
    {
        QDir().mkpath(QStringLiteral(TAMBERLYN_READINGAIDS_ARTEFACTS));
        const QString file = QStringLiteral(TAMBERLYN_READINGAIDS_ARTEFACTS) + u'/' + name + u".png"_s;
        QImage image;
        if (!m_harness.runOnDisplay(u"import"_s, {u"-window"_s, m_window, file}, nullptr, 20000) || !image.load(file))
            fail(u"no screenshot: "_s + m_harness.error());
        return image;
    }

    bool fail(const QString &problem)
    {
        m_problem = problem;
        return false;
    }

    // The viewer's own lines only: the engine's start-up report would push
    // them out of the failure message.
    QString problem() const { return m_problem + u"\n--- viewer log ---\n"_s + E2eHarness::viewerLines(m_viewer); }

private:
    E2eHarness &m_harness;
    QProcess *m_viewer = nullptr;
    QString m_window;
    QString m_problem;
};

// The height of the page's first line of text in a screenshot: the first
// run of rows that hold dark pixels on a mostly light ground, below the
// page's dark navigation bar. On the demo course's pages that line is the
// small capitals above the heading, so its height is the letters' own.
int firstLineHeight(const QImage &shot)
{
    int run = 0;
    for (int y = PageTop; y < shot.height(); ++y) {
        int ink = 0;
        int light = 0;
        for (int x = 0; x < shot.width(); ++x) {
            const int grey = qGray(shot.pixel(x, y));
            ink += grey < 128 ? 1 : 0;
            light += grey > 200 ? 1 : 0;
        }
        if (ink > 0 && light > shot.width() / 2)
            ++run;
        else if (run >= 4)
            return run;
        else
            run = 0;
    }
    return 0;
}

// Takes screenshots until the page's first line measures as `accept` wants
// (the engine paints a moment after it reports), and gives the last measure.
int lineHeightOnceItIs(CourseWindow &window, const QString &name, const std::function<bool(int)> &accept)
{
    const QDeadlineTimer deadline(15000);
    int height = 0;
    do {
        height = firstLineHeight(window.screenshot(name));
        if (accept(height))
            return height;
        QTest::qWait(250);
    } while (!deadline.hasExpired());
    return height;
}

// A picture pop-up over the course (a second instance of its own), as the
// screen shows it once it has settled; the pop-up ends with a key after.
QImage popupPicture(E2eHarness &harness, const QString &name)
{
    harness.runOnDisplay(u"xdotool"_s, {u"mousemove"_s, u"200"_s, u"150"_s});
    QProcess *popup = harness.startViewer({u"/POPJPG=pics/panel.jpg /W 400 /H 300"_s});
    const QString window = harness.findWindowOf(*popup);
    if (window.isEmpty())
        return {};
    const QString file = QStringLiteral(TAMBERLYN_READINGAIDS_ARTEFACTS) + u'/' + name + u".png"_s;
    QImage shown;
    QImage before;
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        QTest::qWait(300);
        if (!harness.runOnDisplay(u"import"_s, {u"-window"_s, window, file}, nullptr, 20000) || !shown.load(file))
            break;
        if (shown == before && shown.pixelColor(shown.width() / 2, shown.height() / 2) != Qt::white)
            break;
        before = shown;
    }
    harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, window, u"a"_s});
    popup->waitForFinished(10000);
    return shown;
}

// A page at rest: two measures in a row alike (the page before, or a page
// half painted, measures otherwise).
std::function<bool(int)> settled()
{
    return [last = 0](int height) mutable {
        const bool same = height > 0 && height == last;
        last = height;
        return same;
    };
}

// The search words' marks: light blue under dark text.
bool isSearchWordMark(QRgb pixel)
{
    return qAbs(qRed(pixel) - 0xa6) < 12 && qAbs(qGreen(pixel) - 0xe1) < 12 && qBlue(pixel) > 240;
}

// The engine's mark of the match selected by find in page.
bool isSelectedMatch(QRgb pixel)
{
    return qRed(pixel) > 240 && qAbs(qGreen(pixel) - 150) < 20 && qBlue(pixel) < 80;
}

qsizetype pixelsLike(const QImage &shot, bool (*like)(QRgb))
{
    qsizetype count = 0;
    for (int y = PageTop; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x)
            count += like(shot.pixel(x, y)) ? 1 : 0;
    }
    return count;
}

// The words of at least five letters that a page's text holds exactly
// `times` times, letter case aside, as find in page counts them (inside
// other words too).
QStringList wordsHeld(const QString &pageFile, int times)
{
    QFile file(pageFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    text.remove(QRegularExpression(u"(?s)<(head|script|style)\\b.*?</\\1>"_s));
    text.replace(QRegularExpression(u"<[^>]*>"_s), u" "_s);
    text = text.toLower();
    QStringList held;
    for (auto it = QRegularExpression(u"[a-z]{5,}"_s).globalMatch(text); it.hasNext();) {
        const QString word = it.next().captured(0);
        if (!held.contains(word) && text.count(word) == times)
            held << word;
    }
    return held;
}

} // namespace

class TestReadingAidsEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void zoomEnlargesTheTextAndHoldsAfterARestart();
    void findBarAndSearchWordsInThePage();
};

// Ctrl+Plus twice makes a page's text larger; the level holds over a page
// turn and a restart, where the contents page is still the one made for
// the screen; Ctrl+wheel zooms by one step a notch, and Ctrl+0 resets.
// Each page is measured against itself at 100%.
void TestReadingAidsEndToEnd::zoomEnlargesTheTextAndHoldsAfterARestart()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    // A settings file as a person writes one: the viewer reads it and never
    // writes it back, so its comments stay.
    const QString iniFile = harness.configHome() + u"/Marrowick/Tamberlyn.ini"_s;
    const QByteArray handWritten = "; set up by the course administrator\n[programs]\ncalculator=xcalc\n";
    QVERIFY(QDir().mkpath(QFileInfo(iniFile).path()));
    {
        QFile file(iniFile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(handWritten) == handWritten.size());
    }
    CourseWindow window(harness);
    QVERIFY2(window.start(), qPrintable(window.problem()));
    QVERIFY2(window.waitForLine(u"tamberlyn.aids: zoom 100% at start"_s), qPrintable(window.problem()));
    const int contents = lineHeightOnceItIs(window, u"contents-100"_s, settled());
    QVERIFY2(contents > 0, qPrintable(window.problem()));
    const QImage popupAsMade = popupPicture(harness, u"popup-course-at-100"_s);
    QVERIFY(!popupAsMade.isNull());

    qsizetype from = window.logSize();
    QVERIFY2(window.keys({u"Next"_s}), qPrintable(window.problem())); // Page Down: module 1
    QVERIFY2(window.waitForLine(u"document complete: .*/mod01d\\.vxp"_s, from), qPrintable(window.problem()));
    const int module = lineHeightOnceItIs(window, u"module-100"_s, settled());
    QVERIFY2(module > 0, qPrintable(window.problem()));

    from = window.logSize();
    QVERIFY2(window.keys({u"ctrl+plus"_s, u"ctrl+plus"_s}), qPrintable(window.problem()));
    QVERIFY2(window.waitForLine(u"tamberlyn.aids: zoom 110%"_s, from), qPrintable(window.problem()));
    QVERIFY2(window.waitForLine(u"tamberlyn.aids: zoom 125%"_s, from), qPrintable(window.problem()));
    const auto largerThan = [](int plain) { return [plain](int height) { return height >= plain * 1.15; }; };
    const int zoomed = lineHeightOnceItIs(window, u"module-125"_s, largerThan(module));
    QVERIFY2(largerThan(module)(zoomed),
             qPrintable(u"first line %1 px high at 100%, %2 px at 125%"_s.arg(module).arg(zoomed)));
    qInfo("module page: first line %d px high at 100%%, %d px at 125%%", module, zoomed);

    // Written at once: the view-state file has it while the viewer still
    // runs; the settings file is as its author left it.
    const QString viewFile = harness.configHome() + u"/Marrowick/Tamberlyn-view.ini"_s;
    QCOMPARE(QSettings(viewFile, QSettings::IniFormat).value(u"view/zoom"_s).toInt(), 125);
    const auto fileBytes = [](const QString &name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QCOMPARE(fileBytes(iniFile), handWritten);

    // A page turn keeps the level.
    from = window.logSize();
    QVERIFY2(window.clickButton(0), qPrintable(window.problem())); // Contents
    QVERIFY2(window.waitForLine(u"document complete: .*/kqd\\.vxp"_s, from), qPrintable(window.problem()));
    const int turned = lineHeightOnceItIs(window, u"contents-125"_s, largerThan(contents));
    QVERIFY2(largerThan(contents)(turned),
             qPrintable(u"contents: first line %1 px high at 100%, %2 px after the page turn"_s.arg(contents)
                            .arg(turned)));

    // Ended as a crash would end it: the level was stored when it changed.
    window.kill();
    CourseWindow again(harness);
    // The size variant still follows the window's size in pixels.
    QVERIFY2(again.start(), qPrintable(again.problem()));
    QVERIFY2(again.waitForLine(u"tamberlyn.aids: zoom 125% at start"_s), qPrintable(again.problem()));
    // The learner record offers to go on with module 1 in a bar over the
    // page; what is measured here is the page, so the offer is dismissed.
    QVERIFY2(again.waitForLine(u"tamberlyn.learner: bar: Continue where you left off"_s), qPrintable(again.problem()));
    QVERIFY2(again.keys({u"Escape"_s}), qPrintable(again.problem()));
    const int restarted = lineHeightOnceItIs(again, u"contents-125-restarted"_s, largerThan(contents));
    QVERIFY2(largerThan(contents)(restarted), qPrintable(u"first line %1 px high after the restart"_s.arg(restarted)));
    // A picture pop-up is no course page: its picture is as it was at 100%.
    QCOMPARE(popupPicture(harness, u"popup-course-at-125"_s), popupAsMade);

    // Ctrl+wheel over the page: one step a notch, and the engine's own
    // wheel zoom does not come on top.
    from = again.logSize();
    QVERIFY2(again.xdotool({u"mousemove"_s, u"--window"_s, again.id(), u"400"_s,
                            u"400"_s, u"keydown"_s, u"ctrl"_s, u"click"_s, u"4"_s, u"keyup"_s, u"ctrl"_s}),
             qPrintable(again.problem()));
    QVERIFY2(again.waitForLine(u"tamberlyn.aids: zoom 150%"_s, from), qPrintable(again.problem()));
    const auto oneAndAHalf = [contents](int height) { return qAbs(height - contents * 1.5) <= contents * 0.15; };
    const int wheeled = lineHeightOnceItIs(again, u"contents-150"_s, oneAndAHalf);
    QVERIFY2(oneAndAHalf(wheeled),
             qPrintable(u"first line %1 px high at 150%, %2 px at 100%"_s.arg(wheeled).arg(contents)));

    // Ctrl+0: the page as made.
    QVERIFY2(again.keys({u"ctrl+0"_s}), qPrintable(again.problem()));
    QVERIFY2(again.waitForLine(u"tamberlyn.aids: zoom 100%"_s, from), qPrintable(again.problem()));
    const auto asMade = [contents](int height) { return qAbs(height - contents) <= 1; };
    const int reset = lineHeightOnceItIs(again, u"contents-reset"_s, asMade);
    QVERIFY2(asMade(reset),
             qPrintable(u"first line %1 px high after Ctrl+0, %2 px at first"_s.arg(reset).arg(contents)));
    QCOMPARE(QSettings(viewFile, QSettings::IniFormat).value(u"view/zoom"_s).toInt(), 100);
    QCOMPARE(fileBytes(iniFile), handWritten);
}

// A search for "cable" opens its third result with the words found marked;
// the find bar counts a word the page holds three times and moves through
// the matches; the marks go with the next page turn, and the find bar,
// open again, finds in each new page.
void TestReadingAidsEndToEnd::findBarAndSearchWordsInThePage()
{
    const QString programFolder = QFileInfo(QStringLiteral(TAMBERLYN_VIEWER)).absolutePath();
    if (!QFile::exists(Tables::wordsFilePath(programFolder)) || !QFile::exists(Tables::filesFilePath(programFolder)))
        QSKIP("the demo course's word index has not been built beside the viewer");
    const QString query = u"cable"_s;
    const std::optional<Finders::SearchResult> found =
        Finders::loadSearchIndex(Tables::TableFileReader(), programFolder).index.search(query);
    QVERIFY(found && found->count() >= 3);
    const QString third = found->resultFiles.at(2);
    const QString pageFile = QStringLiteral(TAMBERLYN_DEMO_SITE) + u"/kq_cbt/kq/"_s + third;
    const QStringList thrice = wordsHeld(pageFile, 3);
    QVERIFY2(!thrice.isEmpty(), qPrintable(u"no word is three times on "_s + third));
    const QString word = thrice.contains(u"cables"_s) ? u"cables"_s : thrice.constFirst();

    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    CourseWindow window(harness);
    QVERIFY2(window.start(), qPrintable(window.problem()));

    // The search window, from the main window's Search button.
    qsizetype from = window.logSize();
    QVERIFY2(window.clickButton(2), qPrintable(window.problem()));
    QVERIFY2(window.waitForLine(u"tamberlyn.navigation: page search\\.vxp"_s, from), qPrintable(window.problem()));
    const QString searchWindow = harness.findWindow(u"^Tamberlyn - Search$"_s, PageTimeoutMs);
    QVERIFY2(!searchWindow.isEmpty(), "no search window");
    QVERIFY(window.xdotool({u"windowactivate"_s, u"--sync"_s, searchWindow}));
    QVERIFY(window.xdotool({u"type"_s, u"--delay"_s, u"60"_s, query}));
    QVERIFY(window.xdotool({u"key"_s, u"--delay"_s, u"60"_s, u"Return"_s}));
    QVERIFY2(window.waitForLine(u"search %1 found %2 pages"_s.arg(query).arg(found->count()), from),
             qPrintable(window.problem()));
    // The third result, by keyboard: from the entry box to the list.
    from = window.logSize();
    for (const QString &key : {u"Tab"_s, u"Tab"_s, u"Home"_s, u"Down"_s, u"Down"_s, u"Return"_s})
        QVERIFY(window.xdotool({u"key"_s, u"--delay"_s, u"60"_s, key}));
    const QString shownLine = u"tamberlyn.aids: search words \"%1\" shown on %2: (\\d+) marks"_s;
    const auto shown = window.waitForLine(shownLine.arg(query, QRegularExpression::escape(third)), from);
    QVERIFY2(shown, qPrintable(window.problem()));
    QVERIFY2(shown->captured(1).toInt() >= 1, qPrintable(window.problem()));
    QVERIFY2(window.find(), qPrintable(window.problem()));
    // The main window comes back and paints the page a moment after.
    const QDeadlineTimer painted(10000);
    qsizetype marked = 0;
    while ((marked = pixelsLike(window.screenshot(u"search-words"_s), isSearchWordMark)) <= 100
           && !painted.hasExpired())
        QTest::qWait(200);
    QVERIFY2(marked > 100, qPrintable(u"%1 marked pixels"_s.arg(marked)));
    // The visit is recorded as any other, nothing added to its name.
    QFile history(harness.dornDir() + u"history.vxp"_s);
    QVERIFY(history.open(QIODevice::ReadOnly));
    QVERIFY2(history.readAll().endsWith(QByteArray('"' + third.toLatin1() + "\"\r\n")),
             "the page opened is the last record");

    // Find in page: the count, F3 to the next match, Shift+F3 back.
    from = window.logSize();
    QVERIFY2(window.keys({u"ctrl+f"_s}), qPrintable(window.problem()));
    QVERIFY2(window.type(word), qPrintable(window.problem()));
    const QString findLine = u"tamberlyn.aids: find \"%1\": "_s.arg(word);
    QVERIFY2(window.waitForLine(findLine + u"1 of 3"_s, from), qPrintable(window.problem()));
    // The engine marks the match selected in orange.
    const QDeadlineTimer selectionPainted(10000);
    qsizetype selected = 0;
    while ((selected = pixelsLike(window.screenshot(u"find-bar"_s), isSelectedMatch)) < 20
           && !selectionPainted.hasExpired())
        QTest::qWait(200);
    QVERIFY2(selected >= 20, qPrintable(u"%1 pixels of the selected match"_s.arg(selected)));
    from = window.logSize();
    QVERIFY2(window.keys({u"F3"_s}), qPrintable(window.problem()));
    QVERIFY2(window.waitForLine(findLine + u"2 of 3"_s, from), qPrintable(window.problem()));
    from = window.logSize();
    QVERIFY2(window.keys({u"shift+F3"_s}), qPrintable(window.problem()));
    QVERIFY2(window.waitForLine(findLine + u"1 of 3"_s, from), qPrintable(window.problem()));
    from = window.logSize();
    QVERIFY2(window.keys({u"Return"_s}), qPrintable(window.problem())); // Enter in the bar: the next match
    QVERIFY2(window.waitForLine(findLine + u"2 of 3"_s, from), qPrintable(window.problem()));
    from = window.logSize();
    QVERIFY2(window.keys({u"Escape"_s}), qPrintable(window.problem()));
    QVERIFY2(window.waitForLine(u"tamberlyn.aids: find bar closed"_s, from), qPrintable(window.problem()));

    // The next page shows no marks: none in its document, none on screen.
    from = window.logSize();
    QVERIFY2(window.clickButton(NextButton), qPrintable(window.problem()));
    const auto left = window.waitForLine(u"tamberlyn.aids: search words left on (\\S+): (\\d+) marks"_s, from);
    QVERIFY2(left, qPrintable(window.problem()));
    QVERIFY2(left->captured(1) != third, qPrintable(window.problem()));
    QCOMPARE(left->captured(2).toInt(), 0);
    const QDeadlineTimer repainted(10000);
    qsizetype stillMarked = 0;
    do {
        stillMarked = pixelsLike(window.screenshot(u"next-page"_s), isSearchWordMark);
    } while (stillMarked > 0 && !repainted.hasExpired());
    QCOMPARE(stillMarked, 0);

    // The find bar, open again, finds in this page and in the next one.
    from = window.logSize();
    QVERIFY2(window.keys({u"ctrl+f"_s}), qPrintable(window.problem()));
    QVERIFY2(window.waitForLine(findLine + u"(\\d+ of \\d+|No matches)"_s, from), qPrintable(window.problem()));
    from = window.logSize();
    QVERIFY2(window.keys({u"Next"_s}), qPrintable(window.problem())); // Page Down, in the bar
    const auto turned = window.waitForLine(u"tamberlyn.navigation: page (\\S+)"_s, from);
    QVERIFY2(turned, qPrintable(window.problem()));
    QVERIFY2(window.waitForLine(findLine + u"(\\d+ of \\d+|No matches)"_s, turned->capturedEnd()),
             qPrintable(window.problem()));
}

QTEST_GUILESS_MAIN(TestReadingAidsEndToEnd)
#include "tst_readingaids_e2e.moc"
