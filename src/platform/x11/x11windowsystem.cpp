#include "x11windowsystem.h"

#include "platform/qt/logicalpixels.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

// Xlib last: its macros (None, Bool, Status, ...) clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace Tamberlyn::Platform {

namespace {

Q_LOGGING_CATEGORY(lcX11Windows, "tamberlyn.windows", QtInfoMsg)

// Titles are compared on their first 4 KiB. A longer one can still begin with
// what we look for, but it never equals it; reading megabytes of a stranger's
// title for that would be waste.
constexpr long kTitleLongs = 1024;
// More clients than this on one screen is not a desktop we will meet.
constexpr long kMaxClients = 65536;
// Window managers put a client one or two windows below their frame; the
// walk stops short of the deep trees some programs build inside their own.
constexpr int kClientDepth = 3;

// Xlib has one error handler per process, and its default ends the process.
// Other programs' windows can vanish between two of our requests, so every
// request about them runs inside a trap: errors on our connection are counted
// and swallowed, errors on any other connection go to the handler that was
// there before. The state is static, not in the trap, because the handler can
// run on another thread while a trap is being torn down.
class ErrorTrap
{
    Q_DISABLE_COPY_MOVE(ErrorTrap)

public:
    explicit ErrorTrap(Display *display)
        : m_lock(s_mutex)
        , m_display(display)
    {
        s_errors = 0;
        s_display = display;
        s_previous = XSetErrorHandler(&ErrorTrap::handle);
    }

    ~ErrorTrap()
    {
        // Errors of requests still on their way must arrive while we listen.
        XSync(m_display, False);
        XSetErrorHandler(s_previous.load());
        s_display = nullptr;
    }

    // Waits until the server has dealt with every request so far. True when
    // none of them failed since the last call.
    bool sync()
    {
        XSync(m_display, False);
        return s_errors.exchange(0) == 0;
    }

private:
    static int handle(Display *display, XErrorEvent *event)
    {
        if (display == s_display.load()) {
            ++s_errors;
            return 0;
        }
        const XErrorHandler previous = s_previous.load();
        return previous ? previous(display, event) : 0;
    }

    static inline std::mutex s_mutex;
    static inline std::atomic<Display *> s_display = nullptr;
    static inline std::atomic<XErrorHandler> s_previous = nullptr;
    static inline std::atomic<int> s_errors = 0;

    std::scoped_lock<std::mutex> m_lock;
    Display *m_display;
};

struct XFreeDeleter
{
    void operator()(unsigned char *data) const
    {
        if (data)
            XFree(data);
    }
};

struct Property
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    bool complete = true;
    std::unique_ptr<unsigned char, XFreeDeleter> data;

    QByteArray bytes() const
    {
        if (format != 8 || !data)
            return {};
        return QByteArray(reinterpret_cast<const char *>(data.get()), qsizetype(items));
    }
};

struct Title
{
    QString text;
    bool complete = true;   // false when cut at kTitleLongs
};

} // namespace

class X11WindowSystem::Connection
{
    Q_DISABLE_COPY_MOVE(Connection)

public:
    explicit Connection(Display *connection)
        : display(connection)
        , root(XDefaultRootWindow(connection))
    {
        static const char *names[] = {"_NET_WM_NAME", "UTF8_STRING", "COMPOUND_TEXT",
                                      "_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST",
                                      "_NET_CLIENT_LIST_STACKING", "_NET_ACTIVE_WINDOW", "WM_STATE"};
        Atom atoms[std::size(names)] = {};
        XInternAtoms(display, const_cast<char **>(names), int(std::size(names)), False, atoms);
        netWmName = atoms[0];
        utf8String = atoms[1];
        compoundText = atoms[2];
        netSupportingWmCheck = atoms[3];
        netClientList = atoms[4];
        netClientListStacking = atoms[5];
        netActiveWindow = atoms[6];
        wmState = atoms[7];
    }

    ~Connection() { XCloseDisplay(display); }

    // Nothing when the window is gone or lacks the property.
    std::optional<Property> read(Window window, Atom name, long maxLongs) const
    {
        Property property;
        unsigned char *data = nullptr;
        unsigned long remaining = 0;
        const int status = XGetWindowProperty(display, window, name, 0, maxLongs, False, AnyPropertyType,
                                              &property.type, &property.format, &property.items, &remaining,
                                              &data);
        property.data.reset(data);
        if (status != Success || property.type == None)
            return std::nullopt;
        property.complete = remaining == 0;
        return property;
    }

    std::optional<std::vector<Window>> readWindows(Window window, Atom name, long maxCount) const
    {
        const std::optional<Property> property = read(window, name, maxCount);
        if (!property || property->type != XA_WINDOW || property->format != 32)
            return std::nullopt;
        // Xlib hands 32-bit items over as longs, which is what a Window is.
        std::vector<Window> windows(property->items);
        if (!windows.empty())
            std::memcpy(windows.data(), property->data.get(), windows.size() * sizeof(Window));
        return windows;
    }

    // _NET_WM_NAME when the window has one, else WM_NAME in whichever
    // encoding it declares. Nothing when the window has neither or is gone.
    std::optional<Title> title(Window window) const
    {
        if (const auto name = read(window, netWmName, kTitleLongs);
            name && name->type == utf8String && name->format == 8) {
            return Title{QString::fromUtf8(name->bytes()), name->complete};
        }
        const auto name = read(window, XA_WM_NAME, kTitleLongs);
        if (!name || name->format != 8)
            return std::nullopt;
        if (name->type == utf8String)
            return Title{QString::fromUtf8(name->bytes()), name->complete};
        if (name->type == compoundText) {
            if (const auto text = fromCompoundText(*name))
                return Title{*text, name->complete};
        }
        // STRING is Latin-1 by definition; anything stranger is read the
        // same way so that at least its ASCII part can match.
        return Title{QString::fromLatin1(name->bytes()), name->complete};
    }

    // Whether an EWMH window manager runs. A root property left behind by
    // one that died names a window that is gone or no longer points at
    // itself.
    bool windowManagerRuns() const
    {
        const auto check = readWindows(root, netSupportingWmCheck, 1);
        if (!check || check->empty())
            return false;
        const auto self = readWindows(check->front(), netSupportingWmCheck, 1);
        return self && !self->empty() && self->front() == check->front();
    }

    // Top-level client windows, highest first, as the window manager lists
    // them. Nothing when it keeps no list; some keep none, or only part.
    std::optional<std::vector<Window>> listedClients() const
    {
        auto clients = readWindows(root, netClientList, kMaxClients);
        if (!clients)
            return std::nullopt;
        // The stacking list runs bottom to top; the plain list in the order
        // the windows were managed, which is the best we have without it.
        if (auto stacking = readWindows(root, netClientListStacking, kMaxClients)) {
            std::reverse(stacking->begin(), stacking->end());
            return stacking;
        }
        return clients;
    }

    // Top-level client windows as the window tree holds them, highest first,
    // under any window manager or none. Under one that reparents, a root
    // child is its frame and the client is the window below it that carries
    // WM_STATE; without one, the root child is the client. Withdrawn windows
    // are left out: those are the helpers every toolkit keeps, or windows
    // their program hid. Override-redirect ones are menus and tooltips, not
    // windows of their own. Only an EWMH manager is asked for the windows it
    // keeps off the screen (minimised, on another desktop); otherwise a map
    // request would show what a manager long gone had hidden.
    std::vector<Window> clientsInTree(bool managed) const
    {
        std::vector<Window> clients;
        std::vector<Window> topLevels = children(root);
        std::reverse(topLevels.begin(), topLevels.end());
        for (const Window topLevel : topLevels) {
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(display, topLevel, &attributes) || attributes.override_redirect)
                continue;
            if (!managed && attributes.map_state != IsViewable)
                continue;
            if (const std::optional<ClientState> client = clientBelow(topLevel)) {
                if (client->shown)
                    clients.push_back(client->window);
            } else if (attributes.map_state == IsViewable) {
                // No manager has seen it: a window of its own on a bare server.
                clients.push_back(topLevel);
            }
        }
        return clients;
    }

    // Exact titles first, then those that begin with `sought`; each group in
    // the order given.
    std::vector<Window> titled(const std::vector<Window> &windows, const QString &sought) const
    {
        std::vector<Window> exact;
        std::vector<Window> prefix;
        for (const Window window : windows) {
            const std::optional<Title> found = title(window);
            if (!found)
                continue;
            if (found->complete && found->text == sought)
                exact.push_back(window);
            else if (found->text.startsWith(sought))
                prefix.push_back(window);
        }
        exact.insert(exact.end(), prefix.begin(), prefix.end());
        return exact;
    }

    void activate(Window window, bool managed) const
    {
        if (managed) {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.display = display;
            event.xclient.window = window;
            event.xclient.message_type = netActiveWindow;
            event.xclient.format = 32;
            event.xclient.data.l[0] = 2;   // on the user's behalf, as a pager does
            event.xclient.data.l[1] = CurrentTime;
            event.xclient.data.l[2] = None;
            XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
            // A map request is how ICCCM asks for a minimised window back, for
            // managers that leave that to it; on a window already shown it
            // only raises. It also fails, unlike the message, if the window
            // is gone, which tells us to try the next one.
            XMapRaised(display, window);
        } else {
            XMapRaised(display, window);
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
        }
    }

    Display *const display;
    const Window root;
    Atom netWmName = None;
    Atom utf8String = None;
    Atom compoundText = None;
    Atom netSupportingWmCheck = None;
    Atom netClientList = None;
    Atom netClientListStacking = None;
    Atom netActiveWindow = None;
    Atom wmState = None;

private:
    std::vector<Window> children(Window window) const
    {
        Window rootReturn = None;
        Window parent = None;
        Window *list = nullptr;
        unsigned int count = 0;
        std::vector<Window> result;
        if (XQueryTree(display, window, &rootReturn, &parent, &list, &count) && list)
            result.assign(list, list + count);
        if (list)
            XFree(list);
        return result;
    }

    struct ClientState
    {
        Window window = None;
        bool shown = false;   // normal or minimised, not withdrawn
    };

    // The window at or nearest below `topLevel` that a window manager marked
    // with WM_STATE, as xprop -frame looks for it. Nothing when there is
    // none: no manager has seen the window.
    std::optional<ClientState> clientBelow(Window topLevel) const
    {
        std::vector<Window> level{topLevel};
        for (int depth = 0; depth <= kClientDepth && !level.empty(); ++depth) {
            std::vector<Window> next;
            for (const Window window : level) {
                const std::optional<Property> state = read(window, wmState, 1);
                if (state && state->format == 32 && state->items > 0) {
                    const long value = *reinterpret_cast<const long *>(state->data.get());
                    return ClientState{window, value != WithdrawnState};
                }
                if (depth < kClientDepth) {
                    const std::vector<Window> below = children(window);
                    next.insert(next.end(), below.begin(), below.end());
                }
            }
            level = std::move(next);
        }
        return std::nullopt;
    }

    std::optional<QString> fromCompoundText(const Property &name) const
    {
        XTextProperty text;
        text.value = name.data.get();
        text.encoding = name.type;
        text.format = 8;
        text.nitems = name.items;
        char **list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(display, &text, &list, &count) < Success || !list)
            return std::nullopt;
        QString result;
        for (int i = 0; i < count; ++i)
            result += QString::fromUtf8(list[i]);
        XFreeStringList(list);
        return result;
    }
};

X11WindowSystem::X11WindowSystem(const QByteArray &displayName)
{
    if (Display *display = XOpenDisplay(displayName.isEmpty() ? nullptr : displayName.constData()))
        m_x = std::make_unique<Connection>(display);
    else
        qCWarning(lcX11Windows) << "cannot open X display" << (displayName.isEmpty() ? qgetenv("DISPLAY") : displayName);
}

X11WindowSystem::~X11WindowSystem() = default;

bool X11WindowSystem::isConnected() const
{
    return m_x != nullptr;
}

QSize X11WindowSystem::screenSize() const
{
    // Qt's screen is measured in device-independent pixels, the unit the
    // size classes are made for; the server's own measure is in its pixels
    // and serves only where no GUI application scales anything.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            return screen->geometry().size();
    }
    if (!m_x)
        return {};
    const int screen = XDefaultScreen(m_x->display);
    return {XDisplayWidth(m_x->display, screen), XDisplayHeight(m_x->display, screen)};
}

int X11WindowSystem::titleBarHeight() const
{
    // Without a widget application there is no style to ask, and no window
    // of ours with a title bar either.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return 0;
    return QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

bool X11WindowSystem::bringToFront(const QString &title)
{
    if (!m_x) {
        qCWarning(lcX11Windows) << "no X display to find" << title << "on";
        return false;
    }
    // Every title begins with nothing; that would pick a window at random.
    if (title.isEmpty())
        return false;

    ErrorTrap trap(m_x->display);
    const bool managed = m_x->windowManagerRuns();
    std::vector<Window> matches;
    if (managed) {
        if (const auto clients = m_x->listedClients())
            matches = m_x->titled(*clients, title);
        if (matches.empty())
            qCDebug(lcX11Windows) << "the window manager lists no window titled" << title
                                  << "- looking through the window tree";
    }
    // Window managers that keep a partial list, or none at all, still leave
    // their clients in the tree.
    if (matches.empty())
        matches = m_x->titled(m_x->clientsInTree(managed), title);

    trap.sync();
    for (const Window window : matches) {
        m_x->activate(window, managed);
        if (trap.sync()) {
            qCInfo(lcX11Windows).nospace() << "brought window 0x" << Qt::hex << window << " to the front for "
                                           << title;
            return true;
        }
        qCInfo(lcX11Windows).nospace() << "window 0x" << Qt::hex << window << " went away before it came up";
    }
    qCInfo(lcX11Windows) << "no window is titled" << title << "on the screen";
    return false;
}

WindowSystem::PointerState X11WindowSystem::pointer() const
{
    if (!m_x)
        return {};
    Window rootReturn = None;
    Window child = None;
    int rootX = 0;
    int rootY = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int mask = 0;
    // False only means the pointer is on another screen of this display; the
    // root position is still where it is.
    XQueryPointer(m_x->display, m_x->root, &rootReturn, &child, &rootX, &rootY, &windowX, &windowY, &mask);
    QPoint position(rootX, rootY);
    // The server counts its own pixels; our windows are placed in Qt's
    // device-independent ones, which differ as soon as Qt scales (a pop-up
    // at QT_SCALE_FACTOR=2 would open twice as far from the corner as the
    // pointer). Without a GUI application nothing is scaled.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        position = logicalFromNative(position);
    return {position, (mask & Button1Mask) != 0};
}

} // namespace Tamberlyn::Platform
