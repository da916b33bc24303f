#include "platform/qt/windowstatekeeper.h"

#include <QGuiApplication>
#include <QTest>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

using namespace Tamberlyn;

// A window shown again on X11 is mapped in the state it has, whatever a
// window manager left in its _NET_WM_STATE when it let the window go. Runs
// on the X server of the test command, with no window manager: the property
// stays exactly as written.
class TestNetWmState final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void theStateItHasIsWhatMaps();

private:
    Atom atom(const char *name) const { return XInternAtom(m_display, name, False); }
    std::vector<Atom> states(const QWidget &window) const;
    void setStates(const QWidget &window, const std::vector<Atom> &atoms) const;

    Display *m_display = nullptr;
};

void TestNetWmState::initTestCase()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        QSKIP("not on X11");
    m_display = x11->display();
}

std::vector<Atom> TestNetWmState::states(const QWidget &window) const
{
    XSync(m_display, False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    std::vector<Atom> atoms;
    if (XGetWindowProperty(m_display, static_cast<::Window>(window.internalWinId()), atom("_NET_WM_STATE"), 0, 64,
                           False, XA_ATOM, &type, &format, &count, &remaining, &data)
            == Success
        && data) {
        const auto *items = reinterpret_cast<const unsigned long *>(static_cast<const void *>(data));
        atoms.assign(items, items + count);
        XFree(data);
    }
    return atoms;
}

void TestNetWmState::setStates(const QWidget &window, const std::vector<Atom> &atoms) const
{
    std::vector<long> items(atoms.cbegin(), atoms.cend());
    XChangeProperty(m_display, static_cast<::Window>(window.internalWinId()), atom("_NET_WM_STATE"), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char *>(items.data()),
                    static_cast<int>(items.size()));
    XSync(m_display, False);
}

void TestNetWmState::theStateItHasIsWhatMaps()
{
    const Atom horizontal = atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    const Atom vertical = atom("_NET_WM_STATE_MAXIMIZED_VERT");
    const Atom above = atom("_NET_WM_STATE_ABOVE");
    const auto has = [](const std::vector<Atom> &atoms, Atom wanted) {
        return std::find(atoms.cbegin(), atoms.cend(), wanted) != atoms.cend();
    };

    QWidget window;
    window.resize(300, 200);
    Platform::keepStateWhileHidden(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.hide();

    // Let go of while maximised, and handed the normal state while hidden:
    // the marks left behind go, anything else in the property stays.
    setStates(window, {horizontal, vertical, above});
    window.setWindowState(Qt::WindowNoState);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const std::vector<Atom> normal = states(window);
    QVERIFY(!has(normal, horizontal) && !has(normal, vertical));
    QVERIFY(has(normal, above));

    // Handed the maximised state while hidden: it is mapped maximised.
    window.hide();
    setStates(window, {});
    window.setWindowState(Qt::WindowMaximized);
    window.show();
    const std::vector<Atom> maximised = states(window);
    QVERIFY(has(maximised, horizontal) && has(maximised, vertical));
}

QTEST_MAIN(TestNetWmState)
#include "tst_netwmstate.moc"
