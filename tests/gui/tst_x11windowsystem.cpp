#include "e2eharness.h"

#include "platform/x11/x11windowsystem.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

// Xlib last: its macros (None, Bool, Status, ...) clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace Qt::StringLiterals;
using Tamberlyn::Platform::X11WindowSystem;

namespace {

constexpr int WaitMs = 10000;

// What a test window carries; a null array leaves that property off.
struct TitledWindow
{
    QByteArray netWmName;
    QByteArray wmName;
    QByteArray wmNameType = "STRING";
    bool mapped = true;   // false: never shown, as a program's withdrawn window
};

TitledWindow utf8Titled(const QByteArray &title)
{
    return {title, {}, "STRING"};
}

// A private X server, with or without openbox, and the test's own
// connection to it for making windows and seeing what became of them.
class TestDisplay
{
    Q_DISABLE_COPY_MOVE(TestDisplay)

public:
    TestDisplay() = default;
    ~TestDisplay()
    {
        // Before the harness stops the server, or Xlib ends the process.
        if (x)
            XCloseDisplay(x);
    }

    bool start(QSize size, bool withWindowManager, QString *error)
    {
        managed = withWindowManager;
        if (!harness.startDisplay(size, withWindowManager)) {
            *error = harness.error();
            return false;
        }
        name = harness.display().toLocal8Bit();
        x = XOpenDisplay(name.constData());
        if (!x) {
            *error = u"cannot connect to "_s + harness.display();
            return false;
        }
        root = XDefaultRootWindow(x);
        if (managed && !windowManagerReady()) {
            *error = u"openbox did not take over the screen"_s;
            return false;
        }
        return true;
    }

    // Openbox claims the screen before it handles requests, and a window
    // mapped in between is never managed. It is ready once a probe window
    // is; the probe asks again now and then in case its request was lost.
    bool windowManagerReady()
    {
        if (!QTest::qWaitFor([this] { return !windows(root, "_NET_SUPPORTING_WM_CHECK").empty(); }, WaitMs))
            return false;
        const Window probe = XCreateSimpleWindow(x, root, 0, 0, 10, 10, 0, 0, 0);
        const auto probeManaged = [&] {
            const auto clients = windows(root, "_NET_CLIENT_LIST");
            return std::find(clients.begin(), clients.end(), probe) != clients.end();
        };
        bool ready = false;
        for (const QDeadlineTimer deadline(WaitMs); !ready && !deadline.hasExpired();) {
            XMapWindow(x, probe);
            XSync(x, False);
            ready = QTest::qWaitFor(probeManaged, 250);
        }
        XDestroyWindow(x, probe);
        XSync(x, False);
        return ready && QTest::qWaitFor([&] { return !probeManaged(); }, WaitMs);
    }

    Atom atom(const char *atomName) const { return XInternAtom(x, atomName, False); }

    std::vector<unsigned long> longs(Window window, const char *property) const
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char *data = nullptr;
        std::vector<unsigned long> values;
        if (XGetWindowProperty(x, window, atom(property), 0, 65536, False, AnyPropertyType, &type, &format, &count,
                               &remaining, &data)
                == Success
            && format == 32) {
            const auto *items = reinterpret_cast<const unsigned long *>(data);
            values.assign(items, items + count);
        }
        if (data)
            XFree(data);
        return values;
    }
    std::vector<Window> windows(Window window, const char *property) const { return longs(window, property); }

    void setWindows(Window window, const char *property, const std::vector<Window> &values) const
    {
        const std::vector<long> data(values.begin(), values.end());
        XChangeProperty(x, window, atom(property), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(data.data()), int(data.size()));
    }

    bool viewable(Window window) const
    {
        XWindowAttributes attributes;
        return XGetWindowAttributes(x, window, &attributes) && attributes.map_state == IsViewable;
    }

    // Maps a window, unless told not to, and waits until it is on the screen and, with openbox,
    // managed; new windows go on top of the others.
    Window create(const TitledWindow &title)
    {
        const Window window = XCreateSimpleWindow(x, root, 20, 20, 200, 100, 0, 0, 0);
        if (!title.netWmName.isNull()) {
            XChangeProperty(x, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char *>(title.netWmName.constData()),
                            int(title.netWmName.size()));
        }
        if (!title.wmName.isNull()) {
            XChangeProperty(x, window, XA_WM_NAME, atom(title.wmNameType.constData()), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char *>(title.wmName.constData()),
                            int(title.wmName.size()));
        }
        XWMHints *hints = XAllocWMHints();
        hints->flags = InputHint;
        hints->input = True;
        XSetWMHints(x, window, hints);
        XFree(hints);
        if (title.mapped)
            XMapWindow(x, window);
        XSync(x, False);
        created.push_back(window);
        if (!title.mapped)
            return window;
        const bool ready = QTest::qWaitFor(
            [&] {
                if (!viewable(window))
                    return false;
                if (!managed)
                    return true;
                const auto stacking = windows(root, "_NET_CLIENT_LIST_STACKING");
                return !stacking.empty() && stacking.back() == window;
            },
            WaitMs);
        return ready ? window : None;
    }

    // A window id that once was and is no more.
    Window vanished()
    {
        const Window window = XCreateSimpleWindow(x, root, 0, 0, 10, 10, 0, 0, 0);
        XDestroyWindow(x, window);
        XSync(x, False);
        return window;
    }

    void destroyCreated()
    {
        for (const Window window : created)
            XDestroyWindow(x, window);
        created.clear();
        XSync(x, False);
    }

    // The window on top of all others that the user would see.
    Window topmost() const
    {
        if (managed) {
            const auto stacking = windows(root, "_NET_CLIENT_LIST_STACKING");
            return stacking.empty() ? None : stacking.back();
        }
        Window rootReturn = None;
        Window parent = None;
        Window *children = nullptr;
        unsigned int count = 0;
        Window top = None;
        if (XQueryTree(x, root, &rootReturn, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count; ++i) {
                if (viewable(children[i]))
                    top = children[i];
            }
            XFree(children);
        }
        return top;
    }

    Window focused() const
    {
        if (managed) {
            const auto active = windows(root, "_NET_ACTIVE_WINDOW");
            return active.empty() ? None : active.front();
        }
        Window focus = None;
        int revert = 0;
        XGetInputFocus(x, &focus, &revert);
        return focus;
    }

    bool xdotool(const QStringList &arguments) const
    {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DISPLAY"_s, harness.display());
        tool.setProcessEnvironment(env);
        tool.start(u"xdotool"_s, arguments);
        return tool.waitForFinished(WaitMs) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    }

    E2eHarness harness;
    QByteArray name;
    Display *x = nullptr;
    Window root = None;
    bool managed = false;
    std::vector<Window> created;
};

// Another program making and closing windows as fast as it can, all titled
// alike, while we search among them.
class WindowChurn
{
    Q_DISABLE_COPY_MOVE(WindowChurn)

public:
    WindowChurn(const QByteArray &displayName, const QByteArray &title)
        : m_thread([this, displayName, title] { run(displayName, title); })
    {
    }
    ~WindowChurn()
    {
        m_stop = true;
        m_thread.join();
    }
    int cycles() const { return m_cycles; }

private:
    void run(const QByteArray &displayName, const QByteArray &title)
    {
        Display *x = XOpenDisplay(displayName.constData());
        if (!x)
            return;
        const Window root = XDefaultRootWindow(x);
        const Atom netWmName = XInternAtom(x, "_NET_WM_NAME", False);
        const Atom utf8 = XInternAtom(x, "UTF8_STRING", False);
        std::deque<Window> alive;
        while (!m_stop) {
            const Window window = XCreateSimpleWindow(x, root, 0, 0, 50, 50, 0, 0, 0);
            XChangeProperty(x, window, netWmName, utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char *>(title.constData()), int(title.size()));
            XMapWindow(x, window);
            alive.push_back(window);
            if (alive.size() > 6) {
                XDestroyWindow(x, alive.front());
                alive.pop_front();
            }
            // The round trip keeps us from burying the server and the window
            // manager under requests; the pause lets our searches in.
            XSync(x, False);
            ++m_cycles;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        XCloseDisplay(x);
    }

    std::atomic<bool> m_stop = false;
    std::atomic<int> m_cycles = 0;
    std::thread m_thread;
};

} // namespace

Q_DECLARE_METATYPE(TitledWindow)

namespace {

// What a stand-in window manager keeps in _NET_CLIENT_LIST.
enum class ClientList { Absent, Empty, OtherWindow };

// A client as a reparenting window manager leaves it: inside a frame (and a
// wrapper, when `depth` is 2), marked with WM_STATE. Only the frame needs
// destroying; the rest goes with it.
struct Framed
{
    Window frame = None;
    Window parent = None;   // of the client: the frame or the wrapper
    Window client = None;
};

Framed framed(TestDisplay &screen, const QByteArray &title, int depth, long state, bool frameShown)
{
    Framed made;
    made.frame = XCreateSimpleWindow(screen.x, screen.root, 40, 40, 220, 130, 0, 0, 0);
    screen.created.push_back(made.frame);
    made.parent = made.frame;
    for (int level = 1; level < depth; ++level) {
        made.parent = XCreateSimpleWindow(screen.x, made.parent, 0, 0, 220, 130, 0, 0, 0);
        XMapWindow(screen.x, made.parent);
    }
    made.client = XCreateSimpleWindow(screen.x, made.parent, 10, 20, 200, 100, 0, 0, 0);
    XChangeProperty(screen.x, made.client, screen.atom("_NET_WM_NAME"), screen.atom("UTF8_STRING"), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char *>(title.constData()), int(title.size()));
    const long wmState[] = {state, long(None)};
    XChangeProperty(screen.x, made.client, screen.atom("WM_STATE"), screen.atom("WM_STATE"), 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(wmState), 2);
    XMapWindow(screen.x, made.client);
    if (frameShown)
        XMapWindow(screen.x, made.frame);
    XSync(screen.x, False);
    return made;
}

} // namespace

Q_DECLARE_METATYPE(ClientList)

class TestX11WindowSystem final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void bringsTheTitledWindowToTheFront_data();
    void bringsTheTitledWindowToTheFront();
    void bringsBackAMinimisedWindow();
    void passesOverWindowsThatVanish_data();
    void passesOverWindowsThatVanish();
    void ignoresTheLeftoversOfADeadWindowManager();
    void asksTheWindowManagerOnTheUsersBehalf();
    void findsClientsInTheTreeWhenTheListLacksThem_data();
    void findsClientsInTheTreeWhenTheListLacksThem();
    void pointer_data();
    void pointer();
    void screenSizeFromTheServerWithoutAGuiApplication_data();
    void screenSizeFromTheServerWithoutAGuiApplication();
    void failsSoftWithoutADisplay();

private:
    TestDisplay &display(bool withWindowManager) { return withWindowManager ? *m_managed : *m_plain; }

    std::unique_ptr<TestDisplay> m_plain = std::make_unique<TestDisplay>();
    std::unique_ptr<TestDisplay> m_managed = std::make_unique<TestDisplay>();
};

void TestX11WindowSystem::initTestCase()
{
    QString error;
    QVERIFY2(m_plain->start(QSize(1000, 700), false, &error), qPrintable(error));
    QVERIFY2(m_managed->start(QSize(800, 600), true, &error), qPrintable(error));
}

void TestX11WindowSystem::cleanup()
{
    for (TestDisplay *screen : {m_plain.get(), m_managed.get()}) {
        if (!screen->x)
            continue;
        screen->destroyCreated();
        XSelectInput(screen->x, screen->root, NoEventMask);
        if (!screen->managed) {
            for (const char *property :
                 {"_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST", "_NET_CLIENT_LIST_STACKING"})
                XDeleteProperty(screen->x, screen->root, screen->atom(property));
        }
        XSync(screen->x, False);
    }
}

void TestX11WindowSystem::bringsTheTitledWindowToTheFront_data()
{
    // The windows from bottom to top; the test puts one without any title
    // above them all, so the one found must really be brought up.
    QTest::addColumn<bool>("withWindowManager");
    QTest::addColumn<QList<TitledWindow>>("windows");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("expected");   // index into windows, -1 for none

    const QByteArray huge = "Orvanix " + QByteArray(1 << 20, 'x');
    for (const bool withWindowManager : {false, true}) {
        const QByteArray prefix = withWindowManager ? "openbox: " : "no window manager: ";
        const auto row = [&](const char *name) -> QTestData & {
            return QTest::newRow(QByteArray(prefix + name).constData()) << withWindowManager;
        };
        row("the exact title beats a prefix higher up")
            << QList{utf8Titled("Tamberlyn"), utf8Titled("Tamberlyn - Module 3")} << u"Tamberlyn"_s << 0;
        row("a prefix when nothing is exact")
            << QList{utf8Titled("Tamberlyn - Module 3"), utf8Titled("Orvanix")} << u"Tamberlyn"_s << 0;
        row("prefix with a separator")
            << QList{utf8Titled("Prismo - lab3"), utf8Titled("Prismo")} << u"Prismo -"_s << 0;
        row("the highest of equal matches")
            << QList{utf8Titled("Prismo - lab1"), utf8Titled("Prismo - lab2")} << u"Prismo -"_s << 1;
        row("a withdrawn window does not count")
            << QList{TitledWindow{"Tamberlyn", {}, "STRING", false}, utf8Titled("Tamberlyn - Module 3")}
            << u"Tamberlyn"_s << 1;
        row("containing is not beginning with") << QList{utf8Titled("My Tamberlyn")} << u"Tamberlyn"_s << -1;
        row("no such window") << QList{utf8Titled("Orvanix")} << u"Tamberlyn"_s << -1;
        row("an empty title matches nothing") << QList{utf8Titled("Orvanix")} << QString() << -1;
        row("only untitled windows") << QList<TitledWindow>{} << u"Tamberlyn"_s << -1;
        // The legacy name is what Xlib makes of the characters it cannot
        // carry; the UTF-8 name is the real one.
        row("non-Latin UTF-8 title")
            << QList{TitledWindow{"Тамберлин — модуль 3", "????????? - ?????? 3", "STRING"}}
            << u"Тамберлин — модуль"_s << 0;
        row("bytes that are not UTF-8")
            << QList{utf8Titled("Prismo - \xff\xfe\xc0 lab")} << u"Prismo -"_s << 0;
        row("Latin-1 legacy title") << QList{TitledWindow{{}, "Orvanix Caf\xe9", "STRING"}}
                                    << u"Orvanix Café"_s << 0;
        // "Tamberlyn" then Cyrillic "Там" in ISO 8859-5.
        row("compound text legacy title")
            << QList{TitledWindow{{}, "Tamberlyn \x1b-L\xc2\xd0\xdc", "COMPOUND_TEXT"}} << u"Tamberlyn Там"_s << 0;
        row("a huge title") << QList{utf8Titled(huge)} << u"Orvanix"_s << 0;
    }
}

void TestX11WindowSystem::bringsTheTitledWindowToTheFront()
{
    QFETCH(bool, withWindowManager);
    QFETCH(QList<TitledWindow>, windows);
    QFETCH(QString, title);
    QFETCH(int, expected);
    TestDisplay &screen = display(withWindowManager);

    std::vector<Window> created;
    for (const TitledWindow &window : windows) {
        created.push_back(screen.create(window));
        QVERIFY(created.back() != None);
    }
    const Window cover = screen.create({});
    QVERIFY(cover != None);
    QCOMPARE(screen.topmost(), cover);

    X11WindowSystem system(screen.name);
    QCOMPARE(system.bringToFront(title), expected >= 0);
    if (expected < 0)
        return;
    const Window target = created.at(std::size_t(expected));
    QTRY_COMPARE_WITH_TIMEOUT(screen.topmost(), target, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(screen.focused(), target, WaitMs);
}

void TestX11WindowSystem::bringsBackAMinimisedWindow()
{
    TestDisplay &screen = *m_managed;
    const Window course = screen.create(utf8Titled("Tamberlyn - Module 3"));
    QVERIFY(course != None);
    QVERIFY(screen.create({}) != None);
    const auto state = [&] {
        const auto values = screen.longs(course, "WM_STATE");
        return values.empty() ? -1L : long(values.front());
    };
    XIconifyWindow(screen.x, course, XDefaultScreen(screen.x));
    XSync(screen.x, False);
    QTRY_COMPARE_WITH_TIMEOUT(state(), long(IconicState), WaitMs);

    X11WindowSystem system(screen.name);
    QVERIFY(system.bringToFront(u"Tamberlyn"_s));
    QTRY_COMPARE_WITH_TIMEOUT(state(), long(NormalState), WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(screen.focused(), course, WaitMs);
}

void TestX11WindowSystem::passesOverWindowsThatVanish_data()
{
    QTest::addColumn<bool>("withWindowManager");
    QTest::newRow("no window manager") << false;
    QTest::newRow("openbox") << true;
}

void TestX11WindowSystem::passesOverWindowsThatVanish()
{
    // Without a trapped error handler the first window that goes away under
    // a request ends the process; without moving on to the next match the
    // steady window below the churning ones is sometimes missed.
    QFETCH(bool, withWindowManager);
    TestDisplay &screen = display(withWindowManager);
    QVERIFY(screen.create(utf8Titled("Prismo - steady")) != None);

    QLoggingCategory::setFilterRules(u"tamberlyn.windows.info=false"_s);
    X11WindowSystem system(screen.name);
    int searches = 0;
    {
        const WindowChurn churn(screen.name, "Prismo - churn");
        QVERIFY(QTest::qWaitFor([&] { return churn.cycles() > 10; }, WaitMs));
        const QDeadlineTimer deadline(1500);
        while (!deadline.hasExpired()) {
            QVERIFY2(system.bringToFront(u"Prismo -"_s), qPrintable(u"search %1"_s.arg(searches)));
            ++searches;
        }
        QVERIFY(churn.cycles() > 100);
    }
    QLoggingCategory::setFilterRules({});
    QVERIFY(searches > 10);
}

void TestX11WindowSystem::ignoresTheLeftoversOfADeadWindowManager()
{
    // A window manager that died leaves its root properties behind, naming
    // a check window that is gone. The windows are then found as if no
    // manager had ever run.
    TestDisplay &screen = *m_plain;
    const Window course = screen.create(utf8Titled("Tamberlyn"));
    QVERIFY(course != None);
    QVERIFY(screen.create({}) != None);
    const Window gone = screen.vanished();
    screen.setWindows(screen.root, "_NET_SUPPORTING_WM_CHECK", {gone});
    screen.setWindows(screen.root, "_NET_CLIENT_LIST", {gone});
    XSync(screen.x, False);

    X11WindowSystem system(screen.name);
    QVERIFY(system.bringToFront(u"Tamberlyn"_s));
    QCOMPARE(screen.focused(), course);
    QCOMPARE(screen.topmost(), course);
}

void TestX11WindowSystem::asksTheWindowManagerOnTheUsersBehalf()
{
    // A stand-in window manager: the check window points at itself, and the
    // client list holds a window that is already gone. What reaches the root
    // is the activation request a real manager would act on.
    TestDisplay &screen = *m_plain;
    const Window course = screen.create(utf8Titled("Tamberlyn - Module 3"));
    QVERIFY(course != None);
    const Window check = XCreateSimpleWindow(screen.x, screen.root, 0, 0, 1, 1, 0, 0, 0);
    screen.created.push_back(check);
    screen.setWindows(check, "_NET_SUPPORTING_WM_CHECK", {check});
    screen.setWindows(screen.root, "_NET_SUPPORTING_WM_CHECK", {check});
    const Window gone = screen.vanished();
    screen.setWindows(screen.root, "_NET_CLIENT_LIST", {course, gone});
    screen.setWindows(screen.root, "_NET_CLIENT_LIST_STACKING", {course, gone});
    XSelectInput(screen.x, screen.root, SubstructureNotifyMask);
    XSync(screen.x, False);

    X11WindowSystem system(screen.name);
    QVERIFY(system.bringToFront(u"Tamberlyn"_s));

    XEvent event{};
    QVERIFY(QTest::qWaitFor([&] { return XCheckTypedEvent(screen.x, ClientMessage, &event); }, WaitMs));
    QCOMPARE(event.xclient.message_type, screen.atom("_NET_ACTIVE_WINDOW"));
    QCOMPARE(event.xclient.window, course);
    QCOMPARE(event.xclient.format, 32);
    QCOMPARE(event.xclient.data.l[0], 2L);   // source: acting for the user
}

void TestX11WindowSystem::findsClientsInTheTreeWhenTheListLacksThem_data()
{
    // A window manager may answer the EWMH check yet list only some of its
    // windows, or none (weston's lists none), or not speak EWMH at all
    // (twm). The client is then found below its frame by its WM_STATE.
    QTest::addColumn<bool>("ewmh");
    QTest::addColumn<ClientList>("list");
    QTest::addColumn<int>("depth");
    QTest::addColumn<long>("state");
    QTest::addColumn<bool>("frameShown");
    QTest::addColumn<bool>("found");

    QTest::newRow("EWMH, no list") << true << ClientList::Absent << 1 << long(NormalState) << true << true;
    QTest::newRow("EWMH, empty list") << true << ClientList::Empty << 1 << long(NormalState) << true << true;
    QTest::newRow("EWMH, list of others") << true << ClientList::OtherWindow << 1 << long(NormalState) << true
                                          << true;
    QTest::newRow("EWMH, client in a wrapper") << true << ClientList::Absent << 2 << long(NormalState) << true
                                               << true;
    QTest::newRow("EWMH, minimised") << true << ClientList::Absent << 1 << long(IconicState) << false << true;
    QTest::newRow("EWMH, withdrawn") << true << ClientList::Absent << 1 << long(WithdrawnState) << true << false;
    QTest::newRow("no EWMH") << false << ClientList::Absent << 1 << long(NormalState) << true << true;
    QTest::newRow("no EWMH, client in a wrapper") << false << ClientList::Absent << 2 << long(NormalState) << true
                                                  << true;
    // Without a manager to ask, a hidden frame is nothing to bring up.
    QTest::newRow("no EWMH, minimised") << false << ClientList::Absent << 1 << long(IconicState) << false << false;
}

void TestX11WindowSystem::findsClientsInTheTreeWhenTheListLacksThem()
{
    QFETCH(bool, ewmh);
    QFETCH(ClientList, list);
    QFETCH(int, depth);
    QFETCH(long, state);
    QFETCH(bool, frameShown);
    QFETCH(bool, found);
    TestDisplay &screen = *m_plain;

    const Framed course = framed(screen, "Tamberlyn", depth, state, frameShown);
    // Above it, another managed window, the one the list holds if any.
    const Framed other = framed(screen, "Orvanix", 1, NormalState, true);
    if (ewmh) {
        const Window check = XCreateSimpleWindow(screen.x, screen.root, 0, 0, 1, 1, 0, 0, 0);
        screen.created.push_back(check);
        screen.setWindows(check, "_NET_SUPPORTING_WM_CHECK", {check});
        screen.setWindows(screen.root, "_NET_SUPPORTING_WM_CHECK", {check});
    }
    if (list != ClientList::Absent) {
        const std::vector<Window> clients =
            list == ClientList::OtherWindow ? std::vector<Window>{other.client} : std::vector<Window>{};
        screen.setWindows(screen.root, "_NET_CLIENT_LIST", clients);
        screen.setWindows(screen.root, "_NET_CLIENT_LIST_STACKING", clients);
    }
    // What a manager would be asked: to activate (EWMH) or to restack the
    // client inside its frame (ICCCM).
    XSelectInput(screen.x, screen.root, SubstructureNotifyMask);
    XSelectInput(screen.x, course.parent, SubstructureRedirectMask);
    XSync(screen.x, True);

    X11WindowSystem system(screen.name);
    QCOMPARE(system.bringToFront(u"Tamberlyn"_s), found);
    if (!found)
        return;

    XEvent event{};
    if (ewmh) {
        QVERIFY(QTest::qWaitFor([&] { return XCheckTypedEvent(screen.x, ClientMessage, &event); }, WaitMs));
        QCOMPARE(event.xclient.message_type, screen.atom("_NET_ACTIVE_WINDOW"));
        QCOMPARE(event.xclient.window, course.client);
    } else {
        QCOMPARE(screen.focused(), course.client);
    }
    // The raise goes to whoever manages the frame's inside, about the client.
    QVERIFY(QTest::qWaitFor([&] { return XCheckTypedEvent(screen.x, ConfigureRequest, &event); }, WaitMs));
    QCOMPARE(event.xconfigurerequest.window, course.client);
    QVERIFY(event.xconfigurerequest.value_mask & CWStackMode);
    QCOMPARE(event.xconfigurerequest.detail, Above);
}

void TestX11WindowSystem::pointer_data()
{
    // Rows run in order, so each one also checks that the last one's button
    // state did not stick.
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<int>("button");   // held down, 0 for none
    QTest::addColumn<bool>("leftDown");
    QTest::newRow("top left corner") << QPoint(0, 0) << 0 << false;
    QTest::newRow("left button held") << QPoint(500, 350) << 1 << true;
    QTest::newRow("released again") << QPoint(300, 200) << 0 << false;
    QTest::newRow("held in the far corner") << QPoint(999, 699) << 1 << true;
    QTest::newRow("right button is not the left") << QPoint(10, 20) << 3 << false;
}

void TestX11WindowSystem::pointer()
{
    QFETCH(QPoint, position);
    QFETCH(int, button);
    QFETCH(bool, leftDown);
    TestDisplay &screen = *m_plain;
    QVERIFY(screen.xdotool({u"mouseup"_s, u"1"_s}));
    QVERIFY(screen.xdotool({u"mouseup"_s, u"3"_s}));
    QVERIFY(screen.xdotool({u"mousemove"_s, QString::number(position.x()), QString::number(position.y())}));
    if (button != 0)
        QVERIFY(screen.xdotool({u"mousedown"_s, QString::number(button)}));

    const X11WindowSystem system(screen.name);
    QTRY_COMPARE_WITH_TIMEOUT(system.pointer().position, position, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(system.pointer().leftButtonDown, leftDown, WaitMs);
}

void TestX11WindowSystem::screenSizeFromTheServerWithoutAGuiApplication_data()
{
    QTest::addColumn<bool>("withWindowManager");
    QTest::addColumn<QSize>("size");
    QTest::newRow("1000 x 700") << false << QSize(1000, 700);
    QTest::newRow("800 x 600") << true << QSize(800, 600);
}

void TestX11WindowSystem::screenSizeFromTheServerWithoutAGuiApplication()
{
    QFETCH(bool, withWindowManager);
    QFETCH(QSize, size);
    QCOMPARE(X11WindowSystem(display(withWindowManager).name).screenSize(), size);
}

void TestX11WindowSystem::failsSoftWithoutADisplay()
{
    X11WindowSystem system(":65000");
    QVERIFY(!system.isConnected());
    QVERIFY(!system.bringToFront(u"Tamberlyn"_s));
    const auto pointer = system.pointer();
    QCOMPARE(pointer.position, QPoint(0, 0));
    QVERIFY(!pointer.leftButtonDown);
    QCOMPARE(system.screenSize(), QSize());
}

// No QGuiApplication: the class must not lean on Qt's own X connection.
QTEST_GUILESS_MAIN(TestX11WindowSystem)
#include "tst_x11windowsystem.moc"
