#include "e2eharness.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>

#include <sys/mman.h>

// Xlib last: its macros (None, Bool, Status, ...) clash with Qt's names.
#include <X11/Xlib.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int PageTimeoutMs = 90000;
const char *const Blocks[] = {"/OrvanePrev", "/OrvaneEnd", "/OrvaneName"};

// The viewer and the simulator stand-in meet through the real block names,
// so this test runs alone and leaves none of them behind.
struct BlockCleaner
{
    BlockCleaner() { unlink(); }
    ~BlockCleaner() { unlink(); }
    static void unlink()
    {
        for (const char *name : Blocks)
            ::shm_unlink(name);
    }
};

// The test's own view of the Xwayland display: it hears what is asked of
// the window manager there, as any client listening on the root may.
class RootListener
{
    Q_DISABLE_COPY_MOVE(RootListener)

public:
    explicit RootListener(const QString &display)
        : m_x(XOpenDisplay(display.toLocal8Bit().constData()))
    {
        if (!m_x)
            return;
        XSelectInput(m_x, XDefaultRootWindow(m_x), SubstructureNotifyMask);
        XSync(m_x, False);
    }
    ~RootListener()
    {
        if (m_x)
            XCloseDisplay(m_x);
    }
    bool isConnected() const { return m_x != nullptr; }

    // The window named in an activation request sent to the root, or 0
    // when none came in time.
    unsigned long activationRequest(int timeoutMs)
    {
        const Atom activate = XInternAtom(m_x, "_NET_ACTIVE_WINDOW", False);
        XEvent event{};
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            while (XCheckTypedEvent(m_x, ClientMessage, &event)) {
                if (event.xclient.message_type == activate && event.xclient.data.l[0] == 2)
                    return event.xclient.window;
            }
            QTest::qWait(50);
        }
        return 0;
    }

private:
    Display *m_x;
};

// A size and a user-given place from xprop's WM_NORMAL_HINTS: what a
// window asked its window manager for.
QRect requestedPlace(const QString &normalHints)
{
    static const QRegularExpression location(u"user specified location: (-?\\d+), (-?\\d+)"_s);
    static const QRegularExpression size(u"user specified size: (\\d+) by (\\d+)"_s);
    const auto at = location.match(normalHints);
    const auto extent = size.match(normalHints);
    if (!at.hasMatch() || !extent.hasMatch())
        return {};
    return {at.captured(1).toInt(), at.captured(2).toInt(), extent.captured(1).toInt(), extent.captured(2).toInt()};
}

} // namespace

class TestWaylandEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void refusesToStartWithoutAnXServer_data();
    void refusesToStartWithoutAnXServer();
    void courseUnderAWaylandCompositor();

private:
    QRect requestedPlaceOf(E2eHarness &harness, const QString &window);
};

void TestWaylandEndToEnd::refusesToStartWithoutAnXServer_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("waylandDisplay");
    QTest::addColumn<QString>("says");
    QTest::newRow("no display at all") << QString() << QString() << u"DISPLAY is not set"_s;
    QTest::newRow("Wayland without Xwayland") << QString() << u"wayland-0"_s << u"QT_QPA_PLATFORM=wayland"_s;
    QTest::newRow("a display nobody answers") << u":65000"_s << QString()
                                              << u"cannot reach the X server on DISPLAY=:65000"_s;
}

void TestWaylandEndToEnd::refusesToStartWithoutAnXServer()
{
    QFETCH(QString, display);
    QFETCH(QString, waylandDisplay);
    QFETCH(QString, says);
    E2eHarness harness;
    QProcessEnvironment env = harness.viewerEnvironment();
    env.remove(u"QT_QPA_PLATFORM"_s);
    env.remove(u"XDG_SESSION_TYPE"_s);
    for (const auto &[name, value] : {std::pair{u"DISPLAY"_s, display}, {u"WAYLAND_DISPLAY"_s, waylandDisplay}}) {
        if (value.isEmpty())
            env.remove(name);
        else
            env.insert(name, value);
    }
    QProcess *viewer = harness.startViewer({}, env);
    QVERIFY(viewer->waitForFinished(20000));
    const QString output = E2eHarness::output(viewer);
    // Ended on purpose, not aborted by Qt.
    QCOMPARE(viewer->exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer->exitCode(), 1);
    QVERIFY2(output.contains(u"tamberlyn: "_s) && output.contains(says), qPrintable(output));
    QVERIFY2(!output.contains(u"platform plugin"_s), qPrintable(output));
}

QRect TestWaylandEndToEnd::requestedPlaceOf(E2eHarness &harness, const QString &window)
{
    QString hints;
    harness.runOnDisplay(u"xprop"_s, {u"-id"_s, window, u"WM_NORMAL_HINTS"_s}, &hints);
    return requestedPlace(hints);
}

void TestWaylandEndToEnd::courseUnderAWaylandCompositor()
{
    if (const QString why = E2eHarness::waylandUnavailable(); !why.isEmpty())
        QSKIP(qPrintable(u"no Wayland compositor to test under: "_s + why));
    BlockCleaner blocks;
    E2eHarness harness;
    QVERIFY2(harness.startWaylandSession({1280, 1024}), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    QProcessEnvironment env = harness.viewerEnvironment();
    env.insert(u"TAMBERLYN_PROGRAM_FILES"_s, QStringLiteral(TAMBERLYN_TEST_PROGRAM_FILES));

    // The course, started as a desktop starts it: a Wayland session and no
    // platform named. Its window is an X11 one on the Xwayland display.
    QProcess *course = harness.startViewer({}, env);
    QVERIFY2(E2eHarness::waitForOutput(course, u"document complete: "_s + harness.fileLocn() + u"kqd.vxp"_s,
                                       PageTimeoutMs),
             qPrintable(E2eHarness::output(course)));
    QVERIFY2(E2eHarness::output(course).contains(u"Wayland session: the windows go through Xwayland"_s),
             qPrintable(E2eHarness::output(course)));
    const QString courseWindow = harness.findWindow(u"^Tamberlyn$"_s);
    QVERIFY2(!courseWindow.isEmpty(), "the course window is not on the Xwayland display");

    // A second start without arguments finds the course window, which
    // weston's window manager does not list, and asks for it to be
    // activated. Weston's manager does not act on other programs' requests
    // (it takes only its own decisions, and this headless one has no seat
    // to give the focus to), so the request is what can be seen here.
    RootListener root(harness.display());
    QVERIFY(root.isConnected());
    QProcess *second = harness.startViewer({}, env);
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitCode(), 0);
    const QString handOver = E2eHarness::output(second);
    const QString hexWindow = u"0x"_s + QString::number(courseWindow.toULong(), 16);
    QVERIFY2(handOver.contains(u"brought window "_s + hexWindow + u" to the front for \"Tamberlyn\""_s),
             qPrintable(handOver));
    QCOMPARE(root.activationRequest(5000), courseWindow.toULong());
    QCOMPARE(course->state(), QProcess::Running);

    // The picture pop-up asks for the pointer's place. The pointer stays
    // where Xwayland put it (see startWaylandSession).
    QString location;
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, {u"getmouselocation"_s, u"--shell"_s}, &location));
    const auto coordinate = [&location](const char *key) {
        return QRegularExpression(QLatin1String(key) + u"=(\\d+)"_s).match(location).captured(1).toInt();
    };
    const QPoint pointer(coordinate("X"), coordinate("Y"));
    QProcess *popup = harness.startViewer({u"/POPJPG=pics/panel.jpg /W 400 /H 300"_s}, env);
    const QString popupWindow = harness.findWindowOf(*popup);
    QVERIFY2(!popupWindow.isEmpty(), qPrintable(E2eHarness::output(popup)));
    QVERIFY(harness.waitForServerLog(u"GET /kq_cbt/kq/pics/panel.jpg 200"_s, 30000));
    const QRect popupPlace = requestedPlaceOf(harness, popupWindow);
    QCOMPARE(popupPlace.topLeft(), pointer);
    QVERIFY2(qAbs(popupPlace.width() - 447) <= 2 && qAbs(popupPlace.height() - 320) <= 2,
             qPrintable(u"%1x%2"_s.arg(popupPlace.width()).arg(popupPlace.height())));
    // A key pressed in it ends it (sent to the window, not through the
    // server's input emulation).
    QVERIFY(harness.runOnDisplay(u"xdotool"_s, {u"key"_s, u"--window"_s, popupWindow, u"a"_s}));
    QVERIFY(popup->waitForFinished(10000));
    QCOMPARE(popup->exitCode(), 0);

    // The launcher starts the stand-in and finds its window, unlisted too;
    // the course then shows its companion window at the screen's top right.
    QProcess *launcher = harness.startViewer({u"amp.ckt"_s}, env);
    QVERIFY2(launcher->waitForFinished(45000), qPrintable(E2eHarness::output(launcher)));
    QCOMPARE(launcher->exitCode(), 0);
    QVERIFY2(E2eHarness::output(launcher).contains(u"to the front for \"Orvanix\""_s),
             qPrintable(E2eHarness::output(launcher)));
    const QString companion = harness.findWindow(u"^RETURN TO TEXT$"_s, 5000);
    QVERIFY2(!companion.isEmpty(), "no companion window");
    QCOMPARE(requestedPlaceOf(harness, companion), QRect(1280 - 322, 0, 178, 65));
    QCOMPARE(course->state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestWaylandEndToEnd)
#include "tst_wayland_e2e.moc"
