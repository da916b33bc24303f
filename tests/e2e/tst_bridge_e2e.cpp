#include "e2eharness.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int PageTimeoutMs = 90000;
const char *const Blocks[] = {"/OrvanePrev", "/OrvaneEnd", "/OrvaneName"};

// The blocks as another process sees them; empty when missing.
QByteArray block(const char *name)
{
    const int fd = ::shm_open(name, O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return {};
    QByteArray bytes(4096, '\0');
    const ssize_t got = ::read(fd, bytes.data(), size_t(bytes.size()));
    ::close(fd);
    bytes.resize(got > 0 ? got : 0);
    return bytes;
}

void unlinkBlocks()
{
    for (const char *name : Blocks)
        ::shm_unlink(name);
}

// The viewer and the simulator stand-in meet through the real block names,
// so this test runs alone and leaves none of them behind.
struct BlockCleaner
{
    BlockCleaner() { unlinkBlocks(); }
    ~BlockCleaner() { unlinkBlocks(); }
};

struct Bridge
{
    E2eHarness harness;
    QProcess *course = nullptr;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = harness.viewerEnvironment();
        env.insert(u"TAMBERLYN_PROGRAM_FILES"_s, QStringLiteral(TAMBERLYN_TEST_PROGRAM_FILES));
        return env;
    }

    // Ids of visible windows whose name matches the pattern.
    QStringList windows(const QString &pattern)
    {
        QString out;
        harness.runOnDisplay(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, pattern}, &out, 5000);
        return out.split(u'\n', Qt::SkipEmptyParts);
    }

    bool waitForWindows(const QString &pattern, bool present, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (windows(pattern).isEmpty() == present) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(100);
        }
        return true;
    }

    bool startCourse()
    {
        course = harness.startViewer({}, environment());
        return E2eHarness::waitForOutput(course, u"document complete: "_s + harness.fileLocn() + u"kqd.vxp"_s,
                                         PageTimeoutMs)
            && waitForWindows(u"^Tamberlyn"_s, true, 10000);
    }

    QString activeWindow()
    {
        QString out;
        harness.runOnDisplay(u"xdotool"_s, {u"getactivewindow"_s}, &out, 5000);
        return out.trimmed();
    }

    QString courseWindow()
    {
        const QStringList found = windows(u"^Tamberlyn"_s);
        return found.isEmpty() ? QString() : found.first();
    }

    bool waitForActive(const QString &window, int timeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (activeWindow() != window) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(100);
        }
        return true;
    }

    QRect geometry(const QString &window)
    {
        QString out;
        harness.runOnDisplay(u"xdotool"_s, {u"getwindowgeometry"_s, u"--shell"_s, window}, &out, 5000);
        const auto value = [&out](const char *key) {
            const QRegularExpression re(QLatin1String(key) + u"=(-?\\d+)"_s);
            return re.match(out).captured(1).toInt();
        };
        return {value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
    }

    bool click(const QString &window, int button)
    {
        return harness.runOnDisplay(u"xdotool"_s, {u"mousemove"_s, u"--window"_s, window, u"60"_s, u"30"_s,
                                                  u"click"_s, QString::number(button)});
    }

    QProcess *launch(const QString &commandLine) { return harness.startViewer({commandLine}, environment()); }
};

} // namespace

class TestBridgeEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void launchReturnAndQuit();
    void handOver_data();
    void handOver();
};

void TestBridgeEndToEnd::launchReturnAndQuit()
{
    BlockCleaner blocks;
    Bridge b;
    QVERIFY2(b.harness.startDisplay({1280, 1024}, true), qPrintable(b.harness.error()));
    QVERIFY2(b.harness.startCourseServer(), qPrintable(b.harness.error()));
    QVERIFY2(b.startCourse(), qPrintable(E2eHarness::output(b.course)));
    const QString courseWindow = b.courseWindow();
    QVERIFY(!courseWindow.isEmpty());

    // The stand-in is not running: the launcher starts it, finds its window
    // and ends.
    QProcess *launcher = b.launch(u"amp.ckt"_s);
    QVERIFY2(launcher->waitForFinished(45000), qPrintable(E2eHarness::output(launcher)));
    QCOMPARE(launcher->exitCode(), 0);
    QVERIFY(b.waitForWindows(u"^Orvanix$"_s, true, 5000));
    const QByteArray path = (b.harness.dataHome() + u"/Marrowick/Orvanix/VK_CKTS/amp.ckt"_s).toLatin1();
    QCOMPARE(block("/OrvaneName").left(255), path + QByteArray(255 - path.size(), '\0'));
    QCOMPARE(block("/OrvanePrev").left(1), QByteArray(1, '\3'));

    // The course shows its companion window at its next tick.
    QVERIFY2(b.waitForWindows(u"^RETURN TO TEXT$"_s, true, 3000), "no companion window");
    const QString companion = b.windows(u"^RETURN TO TEXT$"_s).first();
    const QRect place = b.geometry(companion);
    QCOMPARE(place.size(), QSize(178, 65));
    QCOMPARE(place.topLeft(), QPoint(1280 - 322, 0));

    // RETURN TO TEXT: the course comes to the front, the path is cleared and
    // the companion window stays away.
    QVERIFY(b.click(companion, 1));
    QVERIFY2(b.waitForActive(courseWindow, 5000), qPrintable(b.activeWindow()));
    QVERIFY(b.waitForWindows(u"^RETURN TO TEXT$"_s, false, 3000));
    QCOMPARE(block("/OrvaneName").left(255), QByteArray(255, '\0'));
    QTest::qWait(2500); // two ticks of the watch
    QVERIFY(b.windows(u"^RETURN TO TEXT$"_s).isEmpty());

    // A second launch finds the running stand-in at once.
    QProcess *again = b.launch(u"amp.ckt"_s);
    QVERIFY(again->waitForFinished(15000));
    QVERIFY(b.waitForWindows(u"^RETURN TO TEXT$"_s, true, 3000));

    // Right-click, Yes: end flag 1, the viewer ends, the history stays, the
    // stand-in quits.
    const QString history = b.harness.dornDir() + u"history.vxp"_s;
    QVERIFY(QFile::exists(history));
    QVERIFY(b.click(b.windows(u"^RETURN TO TEXT$"_s).first(), 3));
    // The question's caption is "Tamberlyn", as is the course window's.
    QString question;
    const QDeadlineTimer deadline(5000);
    while (question.isEmpty() && !deadline.hasExpired()) {
        for (const QString &window : b.windows(u"^Tamberlyn$"_s)) {
            if (window != courseWindow)
                question = window;
        }
        QTest::qWait(100);
    }
    QVERIFY2(!question.isEmpty(), "no quit question");
    QVERIFY(b.harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, question, u"alt+y"_s}));
    QVERIFY2(b.course->waitForFinished(15000), qPrintable(E2eHarness::output(b.course)));
    QCOMPARE(block("/OrvaneEnd").left(4), QByteArray("\1\0\0\0", 4));
    QVERIFY(QFile::exists(history));
    QVERIFY2(b.waitForWindows(u"^Orvanix$"_s, false, 5000), "the stand-in did not quit");
}

void TestBridgeEndToEnd::handOver_data()
{
    QTest::addColumn<bool>("windowManager");
    QTest::newRow("window manager") << true;
    QTest::newRow("no window manager") << false;
}

void TestBridgeEndToEnd::handOver()
{
    QFETCH(bool, windowManager);
    BlockCleaner blocks;
    Bridge b;
    QVERIFY2(b.harness.startDisplay({1280, 1024}, windowManager), qPrintable(b.harness.error()));
    QVERIFY2(b.harness.startCourseServer(), qPrintable(b.harness.error()));
    QVERIFY2(b.startCourse(), qPrintable(E2eHarness::output(b.course)));
    const QString courseWindow = b.courseWindow();
    QVERIFY(!courseWindow.isEmpty());

    // Another window takes the focus: the stand-in, started by hand.
    QProcess simulator;
    QProcessEnvironment env = b.environment();
    simulator.setProcessEnvironment(env);
    simulator.start(QStringLiteral(TAMBERLYN_SIMULATOR), {u"--as"_s, u"orvanix"_s});
    QVERIFY(simulator.waitForStarted());
    QVERIFY(b.waitForWindows(u"^Orvanix$"_s, true, 10000));
    const QString other = b.windows(u"^Orvanix$"_s).first();
    QVERIFY(b.harness.runOnDisplay(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, other}) ||
            b.harness.runOnDisplay(u"xdotool"_s, {u"windowfocus"_s, u"--sync"_s, other}));

    // A second viewer without arguments brings the course forward and ends.
    QProcess *second = b.harness.startViewer({}, env);
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitCode(), 0);
    if (windowManager) {
        QVERIFY2(b.waitForActive(courseWindow, 5000), qPrintable(b.activeWindow()));
    } else {
        const QDeadlineTimer deadline(5000);
        QString focus;
        while (focus != courseWindow && !deadline.hasExpired()) {
            b.harness.runOnDisplay(u"xdotool"_s, {u"getwindowfocus"_s, u"-f"_s}, &focus, 5000);
            focus = focus.trimmed();
            QTest::qWait(100);
        }
        QCOMPARE(focus, courseWindow);
    }
    QCOMPARE(b.course->state(), QProcess::Running);
    simulator.terminate();
    simulator.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TestBridgeEndToEnd)
#include "tst_bridge_e2e.moc"
