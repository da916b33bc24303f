#include "e2eharness.h"
#include "pagevisits.h"

#include "history/historyloader.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/mman.h>
#include <unistd.h>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

namespace {

constexpr int FirstPageTimeoutMs = 120000;
constexpr int Rounds = 10;
// How long after its first page a round's viewer may live at most.
constexpr int LongestLifeMs = 6000;
constexpr int LongestPauseMs = 600;

const QString MainWindow = u"^Tamberlyn( - Module [0-9]+)?$"_s;
const char *const Blocks[] = {"/OrvanePrev", "/OrvaneEnd", "/OrvaneName"};

// The shared blocks are the machine's; start and end without ours.
struct BlockCleaner
{
    BlockCleaner() { unlinkAll(); }
    ~BlockCleaner() { unlinkAll(); }
    static void unlinkAll()
    {
        for (const char *name : Blocks)
            ::shm_unlink(name);
    }
};

// Sets a block to exactly `bytes`, creating it when missing.
bool plantBlock(const char *name, const QByteArray &bytes)
{
    const int fd = ::shm_open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::ftruncate(fd, 0) == 0 && ::ftruncate(fd, bytes.size()) == 0
                    && ::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0) == bytes.size();
    ::close(fd);
    return ok;
}

QByteArray readBlock(const char *name)
{
    QFile file(u"/dev/shm"_s + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every process below `root`, found through the parent ids in /proc.
QList<qint64> descendantsOf(qint64 root)
{
    QMultiHash<qint64, qint64> children;
    const QStringList pids = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : pids) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        // "pid (name) state ppid …"; the name may hold spaces, so read past its ')'.
        const QByteArray stat = readFile(u"/proc/%1/stat"_s.arg(pid));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields.at(1).toLongLong(), pid);
    }
    QList<qint64> found;
    QList<qint64> todo{root};
    while (!todo.isEmpty()) {
        const QList<qint64> next = children.values(todo.takeLast());
        found += next;
        todo += next;
    }
    return found;
}

// Still running: present and not a zombie waiting for a parent to reap it.
bool running(qint64 pid)
{
    const QByteArray stat = readFile(u"/proc/%1/stat"_s.arg(pid));
    return !stat.isEmpty() && !stat.mid(stat.lastIndexOf(')') + 2).startsWith('Z');
}

// What the learner presses in a hurry: everything that only loads pages.
struct Press
{
    int button;      // on the main window's bar, or -1
    const char *key; // when there is no button
};
const Press Presses[] = {{5, nullptr}, {5, nullptr}, {5, nullptr}, {4, nullptr}, {0, nullptr},
                         {9, nullptr}, {-1, "Next"},  {-1, "Prior"}};

} // namespace

class TestCrashSafetyEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void killedViewerLeavesHistoryWholeAndNextStartWorks();
};

// Ten times: a viewer is started, must become the course, is driven fast
// and killed at a random moment. Each kill must leave the history file
// whole, holding exactly the visits the viewer reported (the last one may
// be lost, never torn), and leave nothing that stops the next start: not
// the instance lock, not the shared blocks, not the browser's helpers.
// TAMBERLYN_CRASH_SEED repeats a run's plan.
void TestCrashSafetyEndToEnd::killedViewerLeavesHistoryWholeAndNextStartWorks()
{
    bool seeded = false;
    const int fromEnv = qEnvironmentVariableIntValue("TAMBERLYN_CRASH_SEED", &seeded);
    const auto seed = seeded ? quint32(fromEnv) : QRandomGenerator::global()->bounded(1u, 1u << 30);
    qInfo("crash safety: seed %u (TAMBERLYN_CRASH_SEED=%u repeats this plan)", seed, seed);
    std::mt19937 random(seed);

    BlockCleaner blocks;
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    const QString historyFile = harness.dornDir() + u"history.vxp"_s;

    QByteArray kept; // the file as the last kill left it
    for (int round = 1; round <= Rounds; ++round) {
        const QString where = u"round %1: "_s.arg(round);
        // What a start killed halfway leaves: blocks created but never
        // sized; and what a quit from the companion window leaves: the end
        // flag at 1.
        if (round % 3 == 0) {
            for (const char *name : Blocks)
                QVERIFY(plantBlock(name, {}));
        } else if (round % 3 == 2) {
            QVERIFY(plantBlock("/OrvaneEnd", QByteArray("\1\0\0\0", 4)));
            QVERIFY(plantBlock("/OrvanePrev", QByteArray(1, '\3')));
        }

        QProcess *viewer = harness.startViewer();
        QVERIFY2(viewer->state() == QProcess::Running, qPrintable(where + viewer->errorString()));
        // It must become the course, not hand over to the instance killed before.
        QVERIFY2(E2eHarness::waitForOutput(viewer, u"tamberlyn.navigation: page kqd.vxp"_s, FirstPageTimeoutMs),
                 qPrintable(where + u"no contents page\n"_s + E2eHarness::output(viewer)));
        const QString window = harness.findWindow(MainWindow, 30000);
        QVERIFY2(!window.isEmpty(), qPrintable(where + u"no course window\n"_s + E2eHarness::output(viewer)));
        QCOMPARE(readBlock("/OrvaneEnd"), QByteArray(4, '\0'));
        QCOMPARE(readBlock("/OrvaneName"), QByteArray(255, '\0'));

        // Press in a hurry, never waiting for a page, and kill at a moment
        // the plan picks. The pauses between presses vary from none to
        // about a page's load, so some loads are cut short and some get
        // through to their record, and the kill may land anywhere.
        const int lifeMs = std::uniform_int_distribution<int>(0, LongestLifeMs)(random);
        std::uniform_int_distribution<int> pick(0, int(std::size(Presses)) - 1);
        std::uniform_int_distribution<int> pause(0, LongestPauseMs);
        int pressed = 0;
        const QDeadlineTimer killAt(lifeMs);
        while (!killAt.hasExpired()) {
            const Press &press = Presses[pick(random)];
            const bool ok = press.button >= 0
                ? harness.clickBarButton(window, press.button)
                : harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, window, QString::fromLatin1(press.key)});
            QVERIFY2(ok, qPrintable(where + harness.error()));
            ++pressed;
            const QDeadlineTimer next(qMin<qint64>(pause(random), killAt.remainingTime()));
            while (!next.hasExpired())
                viewer->waitForReadyRead(int(qMax<qint64>(1, next.remainingTime())));
            E2eHarness::output(viewer);
        }
        QVERIFY2(viewer->state() == QProcess::Running, qPrintable(where + u"the viewer ended by itself\n"_s
                                                                  + E2eHarness::output(viewer)));
        const QList<qint64> helpers = descendantsOf(viewer->processId());
        ::kill(pid_t(viewer->processId()), SIGKILL);
        QVERIFY(viewer->waitForFinished(10000));
        const QStringList handled = PageVisits::handledPages(E2eHarness::output(viewer));
        qInfo("round %d: killed after %d ms, %d presses, %lld pages handled, %lld helper processes", round, lifeMs,
              pressed, handled.size(), helpers.size());

        // The browser's helpers follow their parent rather than linger.
        const QDeadlineTimer helpersGone(30000);
        QList<qint64> left = helpers;
        while (!left.isEmpty() && !helpersGone.hasExpired()) {
            left.removeIf([](qint64 pid) { return !running(pid); });
            if (!left.isEmpty())
                QTest::qWait(100);
        }
        if (!left.isEmpty()) {
            QStringList alive;
            for (const qint64 pid : left)
                alive << QString::fromLatin1(readFile(u"/proc/%1/cmdline"_s.arg(pid)).replace('\0', ' ').left(120));
            QFAIL(qPrintable(where + u"helper processes outlived the viewer:\n  "_s + alive.join(u"\n  "_s)));
        }

        // Whole records only, the earlier ones untouched.
        const QByteArray bytes = readFile(historyFile);
        const PageVisits::HistoryFile file = PageVisits::readHistory(bytes);
        QVERIFY2(file.problem.isEmpty(), qPrintable(where + file.problem));
        QVERIFY2(bytes.startsWith(kept), qPrintable(where + u"records of earlier runs were rewritten"_s));

        // Exactly the visits reported; the last may have died with the viewer.
        QStringList expected;
        for (const QString &page : handled) {
            if (PageVisits::isRecorded(PageVisits::kindOf(page), false))
                expected << page;
        }
        const QStringList added = PageVisits::readHistory(bytes.mid(kept.size())).pages;
        const bool lastLost = !expected.isEmpty() && expected.constLast() == handled.constLast()
                              && added == expected.mid(0, expected.size() - 1);
        QVERIFY2(added == expected || lastLost,
                 qPrintable(where + u"recorded\n  %1\nreported\n  %2"_s.arg(added.join(u' '), expected.join(u' '))));

        // And the viewer's own reader takes every record as a line.
        QStringList quoted;
        for (const QString &page : file.pages)
            quoted << u'"' + page + u'"';
        QCOMPARE(History::HistoryLoader::historyLines(QString::fromLatin1(bytes)), quoted);
        kept = bytes;
    }

    // A last start after all that, and a clean quit: Alt+Q, Yes.
    QProcess *viewer = harness.startViewer();
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"tamberlyn.navigation: page kqd.vxp"_s, FirstPageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    const QString window = harness.findWindow(MainWindow, 30000);
    QVERIFY(!window.isEmpty());
    QVERIFY2(harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, window, u"alt+q"_s}), qPrintable(harness.error()));
    const QString question = harness.findWindow(u"^Quit Tamberlyn\\?$"_s, 30000);
    QVERIFY2(!question.isEmpty(), qPrintable(E2eHarness::output(viewer)));
    QVERIFY2(harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, question, u"alt+y"_s}), qPrintable(harness.error()));
    QVERIFY2(viewer->waitForFinished(30000), qPrintable(E2eHarness::output(viewer)));
    QCOMPARE(viewer->exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer->exitCode(), 0);
    QVERIFY2(!QFile::exists(historyFile), "a confirmed quit leaves no history behind");
}

QTEST_GUILESS_MAIN(TestCrashSafetyEndToEnd)
#include "tst_crashsafety_e2e.moc"
