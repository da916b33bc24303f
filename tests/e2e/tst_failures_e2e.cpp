#include "e2eharness.h"
#include "laggylink.h"
#include "tinycourseserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The engine's first start on a busy machine is slow; later pages are not,
// except over the slow link.
constexpr int FirstPageTimeoutMs = 90000;
constexpr int PageTimeoutMs = 30000;
constexpr int SlowPageTimeoutMs = 120000;

// Places on the button bar.
constexpr int SearchButton = 2;
constexpr int PrevButton = 4;
constexpr int NextButton = 5;
constexpr int HistoryButton = 6;
constexpr int SectionButton = 9;

const QString FailureShown = u"load failure shown: "_s;
const QString MainWindow = u"^Tamberlyn( - Module [0-9]+)?$"_s;

int freePort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

// The learner at the real viewer: what it is shown, and what it logs.
class Course final
{
public:
    Course(E2eHarness &harness, QProcess *viewer)
        : m_harness(harness)
        , m_viewer(viewer)
    {
    }

    QString log() const { return E2eHarness::output(m_viewer); }
    qsizetype count(const QString &text) const { return log().count(text); }

    // Waits until `text` has appeared `times` times in all; false with the
    // reason kept when it does not in time.
    bool sees(const QString &text, qsizetype times = 1, int timeoutMs = PageTimeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (count(text) < times) {
            if (deadline.hasExpired() || m_viewer->state() != QProcess::Running) {
                m_problem = u"\"%1\" seen %2 times, not %3"_s.arg(text).arg(count(text)).arg(times);
                return false;
            }
            m_viewer->waitForReadyRead(50);
        }
        return true;
    }
    // As sees(), for the next appearance after those seen so far; gives the
    // milliseconds from `since`, or -1.
    qint64 timeToNext(const QString &text, const QElapsedTimer &since, int timeoutMs = PageTimeoutMs)
    {
        return sees(text, count(text) + 1, timeoutMs) ? since.elapsed() : -1;
    }

    // The viewer's windows titled "Tamberlyn..." on the screen now.
    QStringList bigWindows()
    {
        QString found;
        // xdotool exits with an error when nothing matches.
        m_harness.runOnDisplay(u"xdotool"_s,
                               {u"search"_s, u"--all"_s, u"--onlyvisible"_s, u"--pid"_s,
                                QString::number(m_viewer->processId()), u"--name"_s, u"^Tamberlyn"_s},
                               &found);
        return found.split(u'\n', Qt::SkipEmptyParts);
    }
    QString title(const QString &window)
    {
        QString name;
        m_harness.runOnDisplay(u"xdotool"_s, {u"getwindowname"_s, window}, &name);
        return name.trimmed();
    }
    // Waits until exactly one of the viewer's big windows is on the screen
    // and its title matches `titlePattern`; gives its id.
    QString theOnlyWindow(const QString &titlePattern, int timeoutMs = PageTimeoutMs)
    {
        const QRegularExpression wanted(titlePattern);
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            const QStringList shown = bigWindows();
            if (shown.size() == 1 && wanted.match(title(shown.constFirst())).hasMatch())
                return shown.constFirst();
            if (deadline.hasExpired()) {
                QStringList titles;
                for (const QString &window : shown)
                    titles << title(window);
                m_problem = u"big windows on the screen: [%1], wanted one titled %2"_s.arg(titles.join(u", "_s),
                                                                                         titlePattern);
                return {};
            }
            QTest::qWait(100);
        }
    }

    bool click(const QString &window, int place)
    {
        // Buttons are 65 x 19 pixels, 66 apart, from (3, 2).
        return xdotool({u"mousemove"_s, u"--window"_s, window, QString::number(3 + 66 * place + 32), u"11"_s,
                        u"click"_s, u"1"_s});
    }
    bool keys(const QString &window, const QStringList &keys)
    {
        if (!xdotool({u"windowactivate"_s, u"--sync"_s, window}))
            return false;
        for (const QString &key : keys) {
            if (!xdotool({u"key"_s, u"--delay"_s, u"80"_s, key}))
                return false;
        }
        return true;
    }

    // The whole screen, as the learner sees it, kept with the test's output.
    bool screenshot(const QString &name)
    {
        const QString folder = QStringLiteral(TAMBERLYN_FAILURES_ARTEFACTS);
        QDir().mkpath(folder);
        // A moment for the window to be drawn after what was logged.
        QTest::qWait(300);
        return xdotool({}, u"import"_s, {u"-window"_s, u"root"_s, folder + u'/' + name + u".png"_s});
    }

    QString problem() const { return m_problem + u"\n--- viewer log ---\n"_s + E2eHarness::viewerLines(m_viewer); }

private:
    bool xdotool(const QStringList &arguments, const QString &program = u"xdotool"_s, QStringList other = {})
    {
        if (m_harness.runOnDisplay(program, arguments.isEmpty() ? other : arguments, nullptr, 20000))
            return true;
        m_problem = m_harness.error();
        return false;
    }

    E2eHarness &m_harness;
    QProcess *m_viewer;
    QString m_problem;
};

// The times for the note: printed with the test's output.
void timing(const char *what, qint64 ms)
{
    qInfo("time to the message, %s: %lld ms", what, ms);
}

QString pageAddress(const E2eHarness &harness, const QString &page)
{
    return harness.fileLocn() + page;
}

} // namespace

class TestFailuresEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void serverStoppedRestartedAndReplaced();
    void missingPageAndVideo();
    void pageAnsweringServerError();
    void slowLink();
    void fullDataFolder();
    void handOverToACourseWithoutAWindow();
};

// The course server stopped under a running course, then started again on
// the same port, then started with a new certificate. On the way, the
// History window opens although its trigger page cannot be fetched, and a
// choice in it lands on the message in the course window.
void TestFailuresEndToEnd::serverStoppedRestartedAndReplaced()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    QProcess *viewer = harness.startViewer();
    Course course(harness, viewer);
    QVERIFY2(course.sees(u"document complete: "_s + pageAddress(harness, u"kqd.vxp"_s), 1, FirstPageTimeoutMs),
             qPrintable(course.problem()));
    QString window = course.theOnlyWindow(MainWindow);
    QVERIFY2(!window.isEmpty(), qPrintable(course.problem()));
    // Module 1's opening, so that the History window has a page to list.
    QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
    QVERIFY2(course.sees(u"tamberlyn.navigation: page mod01d.vxp"_s), qPrintable(course.problem()));

    // Server down: the next page gets the message in its place.
    harness.stopCourseServer();
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
    const qint64 refused = course.timeToNext(FailureShown + pageAddress(harness, u"kq010002.vxp"_s), clock);
    QVERIFY2(refused >= 0, qPrintable(course.problem()));
    timing("server stopped, page turn", refused);
    QVERIFY(course.log().contains(u"tamberlyn: cannot load "_s + pageAddress(harness, u"kq010002.vxp"_s)
                                  + u": connection refused; is the course server running at "_s));
    QCOMPARE(course.theOnlyWindow(MainWindow), window);
    QVERIFY(course.screenshot(u"server-stopped"_s));

    // History: its trigger page cannot be fetched, and it opens all the same.
    QVERIFY2(course.click(window, HistoryButton), qPrintable(course.problem()));
    QVERIFY2(course.sees(u"finder window opened without its trigger page: "_s + pageAddress(harness, u"hist.vxp"_s)),
             qPrintable(course.problem()));
    const QString history = course.theOnlyWindow(u"^Tamberlyn - History$"_s);
    QVERIFY2(!history.isEmpty(), qPrintable(course.problem()));
    QVERIFY(course.screenshot(u"history-window-without-server"_s));

    // A page chosen there lands on the message in the course window, not
    // on no window at all.
    clock.restart();
    QVERIFY2(course.keys(history, {u"Down"_s, u"Return"_s}), qPrintable(course.problem()));
    const qint64 chosen = course.timeToNext(FailureShown + pageAddress(harness, u"kq010001.vxp"_s), clock);
    QVERIFY2(chosen >= 0, qPrintable(course.problem()));
    timing("server stopped, page chosen in the History window", chosen);
    window = course.theOnlyWindow(MainWindow);
    QVERIFY2(!window.isEmpty(), qPrintable(course.problem()));
    QVERIFY(course.screenshot(u"history-choice-without-server"_s));

    // A second start finds that window and hands over to it.
    QProcess *second = harness.startViewer();
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY2(E2eHarness::output(second).contains(u"to the front for \"Tamberlyn\""_s),
             qPrintable(E2eHarness::output(second)));

    // The server back on the same port: Retry (Enter) brings the page, and
    // the course goes on without a restart.
    QVERIFY2(harness.restartCourseServer(false), qPrintable(harness.error()));
    QVERIFY2(course.keys(window, {u"Return"_s}), qPrintable(course.problem()));
    QVERIFY2(course.sees(u"tamberlyn.navigation: page mod01d.vxp"_s, 2), qPrintable(course.problem()));
    // Every page that came recorded once; none that failed.
    QFile records(harness.dornDir() + u"history.vxp"_s);
    QVERIFY(records.open(QIODevice::ReadOnly));
    QCOMPARE(records.readAll(), QByteArray("\"kqd.vxp\"\r\n\"kq010001.vxp\"\r\n\"kq010001.vxp\"\r\n"));

    // A new certificate under the running course: the message names it and
    // the pin, and nothing of the page is shown.
    QVERIFY2(harness.restartCourseServer(true), qPrintable(harness.error()));
    clock.restart();
    QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
    const qint64 certificate = course.timeToNext(FailureShown, clock);
    QVERIFY2(certificate >= 0, qPrintable(course.problem()));
    timing("certificate changed, page turn", certificate);
    QVERIFY2(course.log().contains(u"certificate not trusted and not pinned (SHA-256 "_s + harness.fingerprint()
                                   + u"); check TAMBERLYN_COURSE_PIN"_s),
             qPrintable(course.problem()));
    QVERIFY2(!course.theOnlyWindow(MainWindow).isEmpty(), qPrintable(course.problem()));
    QVERIFY(course.screenshot(u"certificate-changed"_s));
}

// A course copy without one page and one video: the video says why it did
// not play at once, the missing page gets its message, and Section steps
// over it with the links of the page before.
void TestFailuresEndToEnd::missingPageAndVideo()
{
    QTemporaryDir copy;
    QVERIFY(copy.isValid());
    QProcess cp;
    cp.start(u"cp"_s, {u"-r"_s, QStringLiteral(TAMBERLYN_DEMO_SITE) + u"/."_s, copy.path()});
    QVERIFY(cp.waitForFinished(60000) && cp.exitCode() == 0);
    const QString pages = copy.path() + u"/kq_cbt/kq/"_s;
    QVERIFY(QFile::remove(pages + u"kq010004.vxp"_s));
    QVERIFY(QFile::remove(pages + u"kq/title.avi"_s));

    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(copy.path()), qPrintable(harness.error()));
    QProcess *viewer = harness.startViewer();
    Course course(harness, viewer);
    QVERIFY2(course.sees(u"document complete: "_s + pageAddress(harness, u"kqd.vxp"_s), 1, FirstPageTimeoutMs),
             qPrintable(course.problem()));
    const QString window = course.theOnlyWindow(MainWindow);
    QVERIFY2(!window.isEmpty(), qPrintable(course.problem()));

    // << on the contents page is the title video.
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(course.click(window, PrevButton), qPrintable(course.problem()));
    const qint64 video = course.timeToNext(u"media failure shown: "_s, clock);
    QVERIFY2(video >= 0, qPrintable(course.problem()));
    timing("video missing", video);
    QVERIFY(course.log().contains(u"media stopped by its failure"_s));
    QVERIFY2(course.log().contains(u"tamberlyn: The video kq/title.avi could not be played: the server answered 404 "
                                   u"Not Found."_s),
             qPrintable(course.problem()));
    QVERIFY2(!course.theOnlyWindow(MainWindow).isEmpty(), qPrintable(course.problem()));
    QVERIFY(course.screenshot(u"video-missing"_s));

    // To kq010003, whose >> leads to the missing kq010004.
    const QString handled = u"tamberlyn.navigation: page "_s;
    for (const QString &page : {u"mod01d.vxp"_s, u"obj01d.vxp"_s, u"kq010003.vxp"_s}) {
        QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
        QVERIFY2(course.sees(handled + page), qPrintable(course.problem()));
    }
    const QString missing = FailureShown + pageAddress(harness, u"kq010004.vxp"_s);
    clock.restart();
    QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
    const qint64 notFound = course.timeToNext(missing, clock);
    QVERIFY2(notFound >= 0, qPrintable(course.problem()));
    timing("page missing (404)", notFound);
    QVERIFY(course.log().contains(u"HTTP status 404 Not Found; the page is missing from the course on "_s));
    QVERIFY2(!course.theOnlyWindow(MainWindow).isEmpty(), qPrintable(course.problem()));
    QVERIFY(course.screenshot(u"page-missing"_s));

    // >> keeps kq010003's link; Section (kq010003's first link) steps over
    // the missing page to the module's opening page.
    QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
    QVERIFY2(course.sees(missing, 2), qPrintable(course.problem()));
    QVERIFY2(course.click(window, SectionButton), qPrintable(course.problem()));
    QVERIFY2(course.sees(handled + u"mod01d.vxp"_s, 2), qPrintable(course.problem()));
    QCOMPARE(course.count(FailureShown), 2);
}

// A page that the server answers with 500 Internal Server Error, on a
// server of the test's own; Retry once the server has mended.
void TestFailuresEndToEnd::pageAnsweringServerError()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.prepareCourseServer(freePort()), qPrintable(harness.error()));
    TinyCourseServer server(QStringLiteral(TAMBERLYN_DEMO_SITE), harness.certificateFolder(),
                            u"/kq_cbt/kq/kq010001.vxp"_s, 500);
    QVERIFY(server.port() > 0);
    QProcessEnvironment env = harness.viewerEnvironment();
    const QString host = u"127.0.0.1:%1"_s.arg(server.port());
    env.insert(u"TAMBERLYN_COURSE_HOST"_s, host);
    const QString base = u"https://"_s + host + u"/kq_cbt/kq/"_s;

    QProcess *viewer = harness.startViewer({}, env);
    Course course(harness, viewer);
    QVERIFY2(course.sees(u"document complete: "_s + base + u"kqd.vxp"_s, 1, FirstPageTimeoutMs),
             qPrintable(course.problem()));
    const QString window = course.theOnlyWindow(MainWindow);
    QVERIFY2(!window.isEmpty(), qPrintable(course.problem()));

    QElapsedTimer clock;
    clock.start();
    QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
    const qint64 serverError = course.timeToNext(FailureShown + base + u"kq010001.vxp"_s, clock);
    QVERIFY2(serverError >= 0, qPrintable(course.problem()));
    timing("page answering 500", serverError);
    QVERIFY2(course.log().contains(u": HTTP status 500 Internal Server Error; does "_s + host + u" serve the course?"_s),
             qPrintable(course.problem()));
    QVERIFY2(!course.theOnlyWindow(MainWindow).isEmpty(), qPrintable(course.problem()));
    QVERIFY(course.screenshot(u"server-error"_s));

    server.heal();
    QVERIFY2(course.keys(window, {u"Return"_s}), qPrintable(course.problem()));
    QVERIFY2(course.sees(u"tamberlyn.navigation: page mod01d.vxp"_s), qPrintable(course.problem()));
}

// Over a link with 800 ms round trips that loses a packet in fifty: the
// window shows while the first page comes, every slow load has its sign,
// and Esc stops one that hangs.
void TestFailuresEndToEnd::slowLink()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    LaggyLink link(quint16(QUrl(harness.fileLocn()).port()), {400, 2, 1000});
    QVERIFY(link.port() > 0);
    QProcessEnvironment env = harness.viewerEnvironment();
    const QString host = u"127.0.0.1:%1"_s.arg(link.port());
    env.insert(u"TAMBERLYN_COURSE_HOST"_s, host);
    const QString base = u"https://"_s + host + u"/kq_cbt/kq/"_s;

    QElapsedTimer clock;
    clock.start();
    QProcess *viewer = harness.startViewer({}, env);
    Course course(harness, viewer);
    const qint64 shown = course.timeToNext(u"window shown while loading: "_s + base + u"kqd.vxp"_s, clock,
                                           FirstPageTimeoutMs);
    QVERIFY2(shown >= 0, qPrintable(course.problem()));
    timing("slow link, first page: the window with its loading state, from the start", shown);
    QString window = course.theOnlyWindow(u"^Tamberlyn$"_s);
    QVERIFY2(!window.isEmpty(), qPrintable(course.problem()));
    QVERIFY(course.screenshot(u"slow-first-page"_s));
    const qint64 firstPage = course.timeToNext(u"document complete: "_s + base + u"kqd.vxp"_s, clock,
                                               SlowPageTimeoutMs);
    QVERIFY2(firstPage >= 0, qPrintable(course.problem()));
    timing("slow link, first page itself, from the start", firstPage);

    // A page turn: its sign after a moment, then the page.
    clock.restart();
    QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
    const qint64 sign = course.timeToNext(u"slow load: "_s, clock);
    QVERIFY2(sign >= 0, qPrintable(course.problem()));
    timing("slow link, page turn: the progress sign", sign);
    QVERIFY(course.screenshot(u"slow-page-turn"_s));
    QVERIFY2(course.sees(u"document complete: "_s + base + u"mod01d.vxp"_s, 1, SlowPageTimeoutMs),
             qPrintable(course.problem()));
    timing("slow link, page turn: the page", clock.elapsed());

    // The link hangs: Esc stops the load and the page before stays.
    link.hang(true);
    const qsizetype slowSoFar = course.count(u"slow load: "_s);
    QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
    QVERIFY2(course.sees(u"slow load: "_s, slowSoFar + 1), qPrintable(course.problem()));
    clock.restart();
    QVERIFY2(course.keys(window, {u"Escape"_s}), qPrintable(course.problem()));
    const qint64 stopped = course.timeToNext(u"load stopped: "_s, clock);
    QVERIFY2(stopped >= 0, qPrintable(course.problem()));
    timing("slow link, Esc on a hanging load", stopped);
    QVERIFY(!course.log().contains(FailureShown));
    window = course.theOnlyWindow(MainWindow);
    QVERIFY2(!window.isEmpty(), qPrintable(course.problem()));
    QVERIFY(course.screenshot(u"slow-stopped"_s));
    link.hang(false);
    QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
    QVERIFY2(course.sees(u"tamberlyn.navigation: page obj01d.vxp"_s, 1, SlowPageTimeoutMs),
             qPrintable(course.problem()));
}

// The data folder on a small file system that is full: the learner is told
// once that visits are not recorded, and the course goes on.
void TestFailuresEndToEnd::fullDataFolder()
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable(u"unshare"_s).isEmpty())
        QSKIP("needs root and unshare to mount a file system of its own");
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    QTemporaryDir data;
    QVERIFY(data.isValid());
    QProcessEnvironment env = harness.viewerEnvironment();
    env.insert(u"XDG_DATA_HOME"_s, data.path());
    // A 64 KiB file system of the viewer's own, in a mount namespace of its
    // own, filled up before the viewer starts.
    const QString fill = uR"(mount -t tmpfs -o size=64k tmpfs "$1" && mkdir -p "$1/Marrowick/KQ" && )"
                         uR"({ cat /dev/zero > "$1/filler" 2>/dev/null; true; } && shift && exec "$@")"_s;
    QProcess *viewer = harness.startViewerThrough({u"unshare"_s, u"-m"_s, u"sh"_s, u"-c"_s, fill, u"sh"_s,
                                                   data.path()},
                                                  env);
    Course course(harness, viewer);
    QElapsedTimer clock;
    QVERIFY2(course.sees(u"document complete: "_s + pageAddress(harness, u"kqd.vxp"_s), 1, FirstPageTimeoutMs),
             qPrintable(course.problem()));
    clock.start();
    const qint64 told = course.timeToNext(u"history failure shown: "_s, clock);
    QVERIFY2(told >= 0, qPrintable(course.problem()));
    timing("data folder full, after the first visit", told);
    QVERIFY2(course.log().contains(u"history.vxp cannot be written (No space left on device)"_s),
             qPrintable(course.problem()));
    const QString window = course.theOnlyWindow(MainWindow);
    QVERIFY2(!window.isEmpty(), qPrintable(course.problem()));

    // The course goes on, and says it only once; the notice stays.
    QVERIFY2(course.click(window, NextButton), qPrintable(course.problem()));
    QVERIFY2(course.sees(u"tamberlyn.navigation: page mod01d.vxp"_s), qPrintable(course.problem()));
    QVERIFY2(course.sees(u"visit not recorded"_s, 2), qPrintable(course.problem()));
    QCOMPARE(course.count(u"history failure shown: "_s), 1);
    QVERIFY2(!course.theOnlyWindow(MainWindow).isEmpty(), qPrintable(course.problem()));
    QTest::qWait(1000); // the page drawn under the notice
    QVERIFY(course.screenshot(u"history-not-saved"_s));
}

// Before, a second start that found no course window said so and still
// ended with 0, and the course stayed out of sight. Now the course shows
// itself when asked through the instance lock's channel; a course that
// cannot answer is named, and the exit code says which it was.
void TestFailuresEndToEnd::handOverToACourseWithoutAWindow()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    QProcess *viewer = harness.startViewer();
    Course course(harness, viewer);
    QVERIFY2(course.sees(u"document complete: "_s + pageAddress(harness, u"kqd.vxp"_s), 1, FirstPageTimeoutMs),
             qPrintable(course.problem()));
    const QString window = course.theOnlyWindow(MainWindow);
    QVERIFY2(!window.isEmpty(), qPrintable(course.problem()));

    // Out of sight, as the windows were left before this work after a
    // failed choice in a finder window.
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, {u"windowunmap"_s, u"--sync"_s, window}));
    QVERIFY(course.bigWindows().isEmpty());
    QElapsedTimer clock;
    clock.start();
    QProcess *second = harness.startViewer();
    QVERIFY(second->waitForFinished(30000));
    timing("hand-over, course window out of sight", clock.elapsed());
    QCOMPARE(second->exitCode(), 3);
    QVERIFY2(E2eHarness::output(second).contains(u"tamberlyn: no window titled \"Tamberlyn\" is on the screen; the "
                                                 u"running course (process %1) was asked to show itself and showed "
                                                 u"\"Tamberlyn\""_s.arg(viewer->processId())),
             qPrintable(E2eHarness::output(second)));
    QCOMPARE(course.theOnlyWindow(MainWindow), window);
    QVERIFY(course.screenshot(u"hand-over-shown"_s));

    // A course that cannot answer: the second start names it and gives up.
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, {u"windowunmap"_s, u"--sync"_s, window}));
    ::kill(pid_t(viewer->processId()), SIGSTOP);
    clock.restart();
    QProcess *third = harness.startViewer();
    const bool ended = third->waitForFinished(30000);
    ::kill(pid_t(viewer->processId()), SIGCONT);
    QVERIFY(ended);
    timing("hand-over, course not answering", clock.elapsed());
    QCOMPARE(third->exitCode(), 4);
    QVERIFY2(E2eHarness::output(third).contains(u"did not answer when asked to show itself: it may hang; end it "
                                                u"(kill %1)"_s.arg(viewer->processId())),
             qPrintable(E2eHarness::output(third)));
    // Woken again, it has the request waiting and shows itself.
    QCOMPARE(course.theOnlyWindow(MainWindow), window);
}

QTEST_GUILESS_MAIN(TestFailuresEndToEnd)
#include "tst_failures_e2e.moc"
