#include "e2eharness.h"
#include "pagevisits.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <optional>
#include <random>

using namespace Qt::StringLiterals;
using PageVisits::PageKind;

namespace {

// The engine's first start on a busy machine is slow; later pages are not,
// but a shared machine may stall any one of them for a while.
constexpr int FirstPageTimeoutMs = 120000;
constexpr int PageTimeoutMs = 60000;
constexpr int DefaultPageTurns = 200;
// Resident memory may grow this much from the second quarter of the run to
// the last before we call it a leak.
constexpr double AllowedGrowth = 0.05;
// The viewer's memory keeps rising for its first 500 or so turns (the
// engine's allocators and caches settling) and is flat after that, so only
// a run this long has a second quarter past the warm-up. A shorter run can
// still catch a real leak, one that adds a page's worth of memory or more
// every turn, with a looser bound.
constexpr int SettledRunTurns = 1000;
constexpr double AllowedWarmUpGrowth = 0.20;

int envNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

int pageTurns()
{
    return envNumber("TAMBERLYN_SOAK_PAGES", DefaultPageTurns);
}

// One line of /proc/<pid>/status in KiB: VmRSS is what the soak judges;
// RssAnon and RssFile tell a heap that grows from library pages that are
// merely touched for the first time.
std::optional<qint64> statusKiB(qint64 pid, const QString &field)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QRegularExpression line(u"^"_s + field + u":\\s+(\\d+) kB$"_s, QRegularExpression::MultilineOption);
    const auto match = line.match(QString::fromLatin1(status.readAll()));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLongLong();
}

qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// The pane's own back-and-forth list as the learner's moves shape it: a
// load drops what lay ahead and adds the page (a load of the page already
// shown replaces it), a back step moves one entry back.
class PaneHistory final
{
public:
    void load(const QString &page)
    {
        if (m_current >= 0 && m_entries.at(m_current) == page)
            return;
        m_entries.resize(m_current + 1);
        m_entries.append(page);
        ++m_current;
    }
    bool canGoBack() const { return m_current > 0; }
    QString goBack() { return m_entries.at(--m_current); }

private:
    QStringList m_entries;
    qsizetype m_current = -1;
};

enum class Window { Main, Search, Index, History };

QString titlePattern(Window window)
{
    switch (window) {
    case Window::Main:
        return u"^Tamberlyn( - Module [0-9]+)?$"_s;
    case Window::Search:
        return u"^Tamberlyn - Search$"_s;
    case Window::Index:
        return u"^Tamberlyn - Index$"_s;
    case Window::History:
        return u"^Tamberlyn - History$"_s;
    }
    return {};
}

std::optional<Window> finderFor(const QString &triggerPage)
{
    if (triggerPage == u"search.vxp"_s)
        return Window::Search;
    if (triggerPage == u"index.vxp"_s)
        return Window::Index;
    if (triggerPage == u"hist.vxp"_s)
        return Window::History;
    return std::nullopt;
}

// One thing the learner does. `button` is a place on the window's bar
// (0 = Contents … 9 = Section); a move without one presses `key`.
struct Move
{
    const char *name;
    int button;
    const char *key;
    bool stepsBack; // the pane goes back rather than loading an address
    bool setsGoingBack;
    int weight;
};

// The main window's bar: Contents 0, Search 2, Back 3, << 4, >> 5, History 6,
// Section 9; Page Down and Page Up turn forward and back.
const Move MainMoves[] = {
    {"Next", 5, nullptr, false, false, 26},     {"Prev", 4, nullptr, false, false, 10},
    {"Back", 3, nullptr, true, true, 14},       {"Contents", 0, nullptr, false, false, 8},
    {"Section", 9, nullptr, false, false, 8},   {"Page Down", -1, "Next", false, false, 8},
    {"Page Up", -1, "Prior", false, false, 4},  {"Search", 2, nullptr, false, false, 3},
    {"History", 6, nullptr, false, false, 3},
};
// A finder window's bar: Back, << and >> all step the pane back to the page
// behind the trigger; Contents, and the other finders by their trigger pages.
const Move FinderMoves[] = {
    {"finder Back", 3, nullptr, true, false, 5}, {"finder <<", 4, nullptr, true, false, 2},
    {"finder >>", 5, nullptr, true, false, 2},   {"finder Contents", 0, nullptr, false, false, 2},
    {"finder Index/Search", 2, nullptr, false, false, 1}, {"finder History", 6, nullptr, false, false, 1},
};

// Reads the viewer's log as it grows and keeps what the soak needs from it.
class LogFollower final
{
public:
    explicit LogFollower(QProcess *viewer) : m_viewer(viewer) {}

    void update()
    {
        const QString log = E2eHarness::output(m_viewer);
        const qsizetype end = log.lastIndexOf(u'\n') + 1;
        if (end <= m_read)
            return;
        const QString fresh = log.mid(m_read, end - m_read);
        m_read = end;
        m_pages += PageVisits::handledPages(fresh);
        m_videos += fresh.count(u"tamberlyn.media: video "_s);
        m_learnerStops += fresh.count(u"media stopped by the learner"_s);
    }
    // Waits until `done` holds, reading the log as it comes.
    template<typename Done>
    bool waitUntil(Done done, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        update();
        while (!done()) {
            if (deadline.hasExpired() || m_viewer->state() != QProcess::Running)
                return false;
            m_viewer->waitForReadyRead(100);
            update();
        }
        return true;
    }

    const QStringList &pages() const { return m_pages; }
    qsizetype videos() const { return m_videos; }
    qsizetype learnerStops() const { return m_learnerStops; }

private:
    QProcess *m_viewer;
    qsizetype m_read = 0;
    QStringList m_pages;
    qsizetype m_videos = 0;
    qsizetype m_learnerStops = 0;
};

// The learner at the viewer for a long session. Each turn does one move,
// waits until the pane has come to rest on a page (stubs and trigger pages
// move on by themselves), checks that the pages handled are the ones the
// move leads to and that the history file holds exactly the visits so far.
class Session final
{
public:
    Session(E2eHarness &harness, QProcess *viewer, quint32 seed)
        : m_harness(harness), m_viewer(viewer), m_log(viewer), m_random(seed),
          m_historyFile(harness.dornDir() + u"history.vxp"_s)
    {
    }

    bool start()
    {
        if (!m_log.waitUntil([this] { return !m_log.pages().isEmpty(); }, FirstPageTimeoutMs))
            return fail(u"no first page"_s);
        const QString first = m_log.pages().constFirst();
        if (PageVisits::kindOf(first) != PageKind::Contents)
            return fail(u"first page %1 is not a contents page"_s.arg(first));
        m_pane.load(first);
        m_expected << first;
        m_current = first;
        return showing(Window::Main) && historyMatches();
    }

    bool turn()
    {
        const Move &move = choose();
        const qsizetype handledBefore = m_log.pages().size();
        const qsizetype videosBefore = m_log.videos();
        QString backTo;
        if (move.stepsBack)
            backTo = m_pane.goBack();
        m_lastMove = QString::fromLatin1(move.name);

        const bool pressed = move.button >= 0
            ? m_harness.clickBarButton(m_windowId, move.button)
            : m_harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, m_windowId, QString::fromLatin1(move.key)});
        if (!pressed)
            return fail(m_harness.error());

        // At rest: something new was handled and the last page stays.
        const auto atRest = [&] {
            const QStringList &pages = m_log.pages();
            return pages.size() > handledBefore && !PageVisits::movesOn(PageVisits::kindOf(pages.constLast()));
        };
        if (!m_log.waitUntil(atRest, PageTimeoutMs))
            return fail(u"the pane did not come to rest"_s, handledBefore);
        const QStringList chain = m_log.pages().mid(handledBefore);
        if (!followChain(chain, move, backTo))
            return fail(m_problem, handledBefore);
        m_current = chain.constLast();
        ++m_turns;

        if (m_log.videos() > videosBefore && !stopVideo())
            return false;
        const auto finder = finderFor(m_current);
        if (!showing(finder ? *finder : Window::Main))
            return false;
        return historyMatches();
    }

    std::optional<qint64> resident(const QString &field = u"VmRSS"_s) const
    {
        return statusKiB(m_viewer->processId(), field);
    }

    QString problem() const
    {
        QStringList lines;
        for (const QString &line : E2eHarness::output(m_viewer).split(u'\n')) {
            if (line.contains(u"tamberlyn."_s))
                lines << line;
        }
        // The last few hundred lines are what tells the story.
        const QString tail = lines.mid(qMax<qsizetype>(0, lines.size() - 300)).join(u'\n');
        const QString ended = m_viewer->state() == QProcess::NotRunning
                                  ? u"; the viewer ENDED: exit status %1, code %2"_s.arg(int(m_viewer->exitStatus()))
                                        .arg(m_viewer->exitCode())
                                  : QString();
        return u"turn %1 (%2): %3%4\n--- viewer log ---\n%5"_s.arg(m_turns + 1).arg(m_lastMove, m_problem, ended, tail);
    }

    int turns() const { return m_turns; }
    qsizetype pagesHandled() const { return m_log.pages().size(); }
    qsizetype recorded() const { return m_expected.size(); }
    int videosStopped() const { return m_videosStopped; }
    int findersOpened() const { return m_findersOpened; }

private:
    const Move &choose()
    {
        QList<const Move *> moves;
        QList<int> weights;
        const auto offer = [&](const Move &move, int weight) {
            moves << &move;
            weights << weight;
        };
        if (m_window == Window::Main) {
            const bool onContents = PageVisits::kindOf(m_current) == PageKind::Contents;
            for (const Move &move : MainMoves) {
                if (move.stepsBack && !m_pane.canGoBack())
                    continue;
                // << on a contents page leads to the title video: often enough
                // to play it many times in a run.
                offer(move, onContents && move.button == 4 ? 30 : move.weight);
            }
        } else {
            for (const Move &move : FinderMoves) {
                // The history window's own History button only shows its help.
                if (m_window == Window::History && move.button == 6)
                    continue;
                offer(move, move.weight);
            }
        }
        std::discrete_distribution<int> pick(weights.begin(), weights.end());
        return *moves.at(pick(m_random));
    }

    // Walks the pages one move made the viewer handle, keeping the pane's
    // list and the visits expected in the history file in step.
    bool followChain(const QStringList &chain, const Move &move, const QString &backTo)
    {
        if (move.stepsBack) {
            if (chain.constFirst() != backTo)
                return mismatch(u"went back to %1, expected %2"_s.arg(chain.constFirst(), backTo));
        } else {
            m_pane.load(chain.constFirst());
        }
        bool goingBack = move.setsGoingBack;
        for (qsizetype i = 0; i < chain.size(); ++i) {
            const QString &page = chain.at(i);
            const PageKind kind = PageVisits::kindOf(page);
            if (PageVisits::isRecorded(kind, goingBack))
                m_expected << page;
            const bool stepBack = kind == PageKind::MediaTrigger || kind == PageKind::ExamTrigger
                                  || (kind == PageKind::ModuleStub && goingBack);
            goingBack = false;
            if (i + 1 == chain.size())
                break;
            const QString &next = chain.at(i + 1);
            if (stepBack) {
                if (!m_pane.canGoBack())
                    return mismatch(u"%1 moved on to %2 with nothing to go back to"_s.arg(page, next));
                if (const QString behind = m_pane.goBack(); behind != next)
                    return mismatch(u"%1 should step back to %2, went to %3"_s.arg(page, behind, next));
            } else if (kind == PageKind::ModuleStub) {
                if (PageVisits::kindOf(next) != PageKind::ModulePage)
                    return mismatch(u"stub %1 moved on to %2, not a module page"_s.arg(page, next));
                m_pane.load(next);
            } else {
                return mismatch(u"%1 was handled after %2, where the pane should have stayed"_s.arg(next, page));
            }
        }
        return true;
    }

    bool stopVideo()
    {
        const qsizetype stopsBefore = m_log.learnerStops();
        if (!m_harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, m_windowId, u"Escape"_s}))
            return fail(m_harness.error());
        if (!m_log.waitUntil([&] { return m_log.learnerStops() > stopsBefore; }, PageTimeoutMs))
            return fail(u"Escape did not stop the video"_s);
        ++m_videosStopped;
        return true;
    }

    // Waits until `window` is the one window of the four that is up.
    bool showing(Window window)
    {
        if (window != m_window && window != Window::Main)
            ++m_findersOpened;
        const QDeadlineTimer deadline(PageTimeoutMs);
        for (;;) {
            const QStringList wanted = visible(window);
            bool othersHidden = true;
            // Only the windows that can have been up need looking at.
            if (m_window != window)
                othersHidden = visible(m_window).isEmpty();
            if (wanted.size() == 1 && othersHidden) {
                m_window = window;
                m_windowId = wanted.constFirst();
                return true;
            }
            if (deadline.hasExpired() || m_viewer->state() != QProcess::Running)
                return fail(u"%1 windows match %2; the window before is %3"_s.arg(wanted.size())
                                .arg(titlePattern(window), othersHidden ? u"hidden"_s : u"still up"_s));
            QTest::qWait(50);
        }
    }

    QStringList visible(Window window)
    {
        QString found;
        // xdotool exits with an error when nothing matches.
        m_harness.runOnDisplay(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, titlePattern(window)},
                               &found);
        return found.split(u'\n', Qt::SkipEmptyParts);
    }

    // The record of the last visit is written just after the handler logs
    // the page; give it that moment, then insist on exactly the visits.
    bool historyMatches()
    {
        PageVisits::HistoryFile file;
        const QDeadlineTimer deadline(PageTimeoutMs);
        for (;;) {
            QFile history(m_historyFile);
            file = PageVisits::readHistory(history.open(QIODevice::ReadOnly) ? history.readAll() : QByteArray());
            if ((file.problem.isEmpty() && file.pages == m_expected) || deadline.hasExpired())
                break;
            QTest::qWait(20);
        }
        if (!file.problem.isEmpty())
            return fail(u"history file: "_s + file.problem);
        if (file.pages != m_expected) {
            qsizetype same = 0;
            while (same < file.pages.size() && same < m_expected.size() && file.pages.at(same) == m_expected.at(same))
                ++same;
            return fail(u"history file has %1 records, expected %2; they part at record %3: file [%4] expected [%5]"_s
                            .arg(file.pages.size())
                            .arg(m_expected.size())
                            .arg(same + 1)
                            .arg(file.pages.mid(same, 5).join(u' '), m_expected.mid(same, 5).join(u' ')));
        }
        return true;
    }

    bool mismatch(const QString &text)
    {
        m_problem = text;
        return false;
    }

    bool fail(const QString &text, qsizetype handledBefore = -1)
    {
        m_problem = text;
        if (handledBefore >= 0)
            m_problem += u"; pages handled since the move: "_s + m_log.pages().mid(handledBefore).join(u' ');
        return false;
    }

    E2eHarness &m_harness;
    QProcess *m_viewer;
    LogFollower m_log;
    std::mt19937 m_random;
    QString m_historyFile;
    PaneHistory m_pane;
    QStringList m_expected; // every visit the history file must hold, in order
    QString m_current;      // the page the pane rests on
    Window m_window = Window::Main;
    QString m_windowId;
    QString m_lastMove = u"start"_s;
    QString m_problem;
    int m_turns = 0;
    int m_videosStopped = 0;
    int m_findersOpened = 0;
};

} // namespace

class TestSoakEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void longSessionKeepsHistoryWholeAndMemoryFlat();
};

// A long session of a learner going through the demo course: the buttons
// and keys of the main window and of the finder windows, module stubs,
// Back over them, and the title video stopped by Escape. Its length is
// TAMBERLYN_SOAK_PAGES page turns (200 unless set); TAMBERLYN_SOAK_SEED
// repeats a run.
void TestSoakEndToEnd::longSessionKeepsHistoryWholeAndMemoryFlat()
{
    const int pageTurns = ::pageTurns();
    const auto seed = static_cast<quint32>(envNumber("TAMBERLYN_SOAK_SEED", int(QRandomGenerator::global()->bounded(1, 1 << 30))));
    qInfo("soak: %d page turns, seed %u (TAMBERLYN_SOAK_SEED=%u repeats this run)", pageTurns, seed, seed);
    QVERIFY2(pageTurns >= 8, "a run needs at least two turns per quarter");

    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    QProcess *viewer = harness.startViewer();
    QVERIFY2(viewer->state() == QProcess::Running, qPrintable(u"viewer: "_s + viewer->errorString()));

    QElapsedTimer clock;
    clock.start();
    Session session(harness, viewer, seed);
    // QtTest cuts a failure message at 1024 bytes; the whole story goes to
    // the log. (Only on failure: QVERIFY2 would build its message every time.)
    const auto report = [&session] {
        qWarning().noquote() << session.problem();
        return session.problem().section(u'\n', 0, 0).left(900).toLocal8Bit();
    };
    if (!session.start())
        QFAIL(report().constData());

    // One sample after every turn, once the page is at rest.
    QList<qint64> samples;
    while (session.turns() < pageTurns) {
        if (!session.turn())
            QFAIL(report().constData());
        const std::optional<qint64> rss = session.resident();
        QVERIFY2(rss, "cannot read the viewer's resident memory");
        samples << *rss;
        if (session.turns() % 100 == 0)
            qInfo("soak: %d turns, %lld KiB resident (%lld KiB heap, %lld KiB files), %.0f s", session.turns(), *rss,
                  session.resident(u"RssAnon"_s).value_or(-1), session.resident(u"RssFile"_s).value_or(-1),
                  double(clock.elapsed()) / 1000.0);
    }
    if (viewer->state() != QProcess::Running)
        QFAIL(report().constData());

    // The first quarter is warm-up: the engine's caches, fonts, the finder
    // windows and the media pipeline all come into being there, so memory
    // rises for reasons that have nothing to do with a leak. From the second
    // quarter on the working set should be flat; medians keep one page's
    // short peak (a video, a finder list being built) from deciding.
    const qsizetype quarter = samples.size() / 4;
    const qint64 second = median(samples.mid(quarter, quarter));
    const qint64 last = median(samples.mid(samples.size() - quarter));
    qInfo("soak: %d turns, %lld pages handled, %lld visits recorded, %d videos stopped, %d finder windows opened, "
          "%.0f s",
          session.turns(), session.pagesHandled(), session.recorded(), session.videosStopped(),
          session.findersOpened(), double(clock.elapsed()) / 1000.0);
    qInfo("soak: resident memory median %lld KiB in the second quarter, %lld KiB in the last (%+.1f%%); "
          "first sample %lld KiB, peak %lld KiB",
          second, last, 100.0 * double(last - second) / double(second), samples.constFirst(),
          *std::max_element(samples.cbegin(), samples.cend()));
    const double allowed = session.turns() >= SettledRunTurns ? AllowedGrowth : AllowedWarmUpGrowth;
    QVERIFY2(double(last) < double(second) * (1.0 + allowed),
             qPrintable(u"resident memory grew from %1 KiB to %2 KiB, more than %3%"_s.arg(second).arg(last).arg(
                 100.0 * allowed)));
}

int main(int argc, char *argv[])
{
    // QtTest's watchdog ends a test function after five minutes; a soak
    // takes as long as its length asks, a few seconds a turn at worst.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(qint64(pageTurns()) * 10000 + 600000));
    QCoreApplication app(argc, argv);
    TestSoakEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_soak_e2e.moc"
