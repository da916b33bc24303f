#include "desktoplook.h"

#include <cstring>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

Atom atom(Display *display, const char *name)
{
    return XInternAtom(display, name, False);
}

// A property of 32-bit items, as Xlib hands them over (in longs).
std::vector<unsigned long> longs(Display *display, ::Window window, const char *name, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(display, window, atom(display, name), 0, 4096, False, type, &actualType, &format, &count,
                           &remaining, &data)
            == Success
        && data && format == 32) {
        const auto *items = reinterpret_cast<const unsigned long *>(data);
        values.assign(items, items + count);
    }
    if (data)
        XFree(data);
    return values;
}

QString titleOf(Display *display, ::Window window)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    QString title;
    if (XGetWindowProperty(display, window, atom(display, "_NET_WM_NAME"), 0, 1024, False,
                           atom(display, "UTF8_STRING"), &actualType, &format, &count, &remaining, &data)
            == Success
        && data && format == 8) {
        title = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(count));
    }
    if (data)
        XFree(data);
    return title;
}

int ignoreErrors(Display *, XErrorEvent *)
{
    return 0; // a window may vanish between two requests
}

} // namespace

DesktopLook::DesktopLook(const QString &display)
    : m_display(XOpenDisplay(display.toLocal8Bit().constData()))
{
    XSetErrorHandler(ignoreErrors);
}

DesktopLook::~DesktopLook()
{
    if (m_display)
        XCloseDisplay(m_display);
}

QList<DesktopLook::Window> DesktopLook::visibleWindows() const
{
    QList<Window> windows;
    if (!m_display)
        return windows;
    const ::Window root = DefaultRootWindow(m_display);
    const Atom maxHorz = atom(m_display, "_NET_WM_STATE_MAXIMIZED_HORZ");
    const Atom maxVert = atom(m_display, "_NET_WM_STATE_MAXIMIZED_VERT");
    for (const unsigned long id : longs(m_display, root, "_NET_CLIENT_LIST", XA_WINDOW)) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(m_display, id, &attributes) || attributes.map_state != IsViewable)
            continue;
        Window window;
        window.id = id;
        window.title = titleOf(m_display, id);
        int x = 0;
        int y = 0;
        ::Window child = 0;
        XTranslateCoordinates(m_display, id, root, 0, 0, &x, &y, &child);
        window.client = QRect(x, y, attributes.width, attributes.height);
        const auto extents = longs(m_display, id, "_NET_FRAME_EXTENTS", XA_CARDINAL);
        if (extents.size() == 4) {
            window.frame = QMargins(int(extents[0]), int(extents[2]), int(extents[1]), int(extents[3]));
        }
        bool horz = false;
        bool vert = false;
        for (const unsigned long state : longs(m_display, id, "_NET_WM_STATE", XA_ATOM)) {
            horz = horz || state == maxHorz;
            vert = vert || state == maxVert;
        }
        window.maximised = horz && vert;
        windows << window;
    }
    return windows;
}

QRect DesktopLook::workArea() const
{
    if (!m_display)
        return {};
    const auto area = longs(m_display, DefaultRootWindow(m_display), "_NET_WORKAREA", XA_CARDINAL);
    if (area.size() >= 4)
        return QRect(int(area[0]), int(area[1]), int(area[2]), int(area[3]));
    return QRect(0, 0, DisplayWidth(m_display, DefaultScreen(m_display)),
                 DisplayHeight(m_display, DefaultScreen(m_display)));
}

unsigned long DesktopLook::focusedWindow() const
{
    if (!m_display)
        return 0;
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    const auto listed = longs(m_display, DefaultRootWindow(m_display), "_NET_CLIENT_LIST", XA_WINDOW);
    // The focus may sit on a child of the listed window; climb to it.
    for (int depth = 0; focus > 1 && depth < 8; ++depth) {
        for (const unsigned long id : listed) {
            if (id == focus)
                return id;
        }
        ::Window root = 0;
        ::Window parent = 0;
        ::Window *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, focus, &root, &parent, &children, &count))
            return 0;
        if (children)
            XFree(children);
        focus = parent;
    }
    return 0;
}

QImage DesktopLook::grab(const QRect &area) const
{
    if (!m_display || area.isEmpty())
        return {};
    XImage *image = XGetImage(m_display, DefaultRootWindow(m_display), area.x(), area.y(), unsigned(area.width()),
                              unsigned(area.height()), AllPlanes, ZPixmap);
    if (!image)
        return {};
    QImage picture(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x)
            picture.setPixel(x, y, uint(XGetPixel(image, x, y)) | 0xff000000u);
    }
    XDestroyImage(image);
    return picture;
}
