#include "x11netwmstate.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

namespace Tamberlyn::Platform {

void dropStaleNetWmState(QWidget &window)
{
    // Only windows of the xcb platform are X11 windows: the offscreen
    // platform answers as an X11 application too when a display is at hand,
    // with window ids the X server has never seen.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    const WId id = window.internalWinId();
    if (!display || id == 0)
        return;
    const auto xid = static_cast<::Window>(id);
    const Atom netWmState = XInternAtom(display, "_NET_WM_STATE", False);
    std::vector<Atom> stale;
    const Qt::WindowStates state = window.windowState();
    if (!(state & Qt::WindowMaximized)) {
        stale.push_back(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
        stale.push_back(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False));
    }
    if (!(state & Qt::WindowFullScreen))
        stale.push_back(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False));
    if (stale.empty())
        return;

    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, xid, netWmState, 0, 1024, False, XA_ATOM, &type, &format, &count, &remaining,
                           &data)
            != Success
        || !data) {
        return;
    }
    std::vector<long> kept;
    bool dropped = false;
    if (type == XA_ATOM && format == 32) {
        // Xlib hands 32-bit items over as longs.
        const auto *atoms = reinterpret_cast<const unsigned long *>(static_cast<const void *>(data));
        for (unsigned long i = 0; i < count; ++i) {
            if (std::find(stale.cbegin(), stale.cend(), atoms[i]) != stale.cend())
                dropped = true;
            else
                kept.push_back(static_cast<long>(atoms[i]));
        }
    }
    XFree(data);
    if (!dropped)
        return;
    if (kept.empty()) {
        XDeleteProperty(display, xid, netWmState);
    } else {
        XChangeProperty(display, xid, netWmState, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(kept.data()), static_cast<int>(kept.size()));
    }
    XFlush(display);
}

} // namespace Tamberlyn::Platform
