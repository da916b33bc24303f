#pragma once

#include "platform/windowsystem.h"

#include <QByteArray>

#include <memory>

namespace Tamberlyn::Platform {

// The window system as X11 sees it: other programs' windows found by their
// titles, and the pointer anywhere on the screen. It keeps a connection of
// its own so that nothing here depends on which platform plugin Qt loaded.
// Without an X server every call gives the "nothing there" answer.
class X11WindowSystem final : public WindowSystem
{
    Q_DISABLE_COPY_MOVE(X11WindowSystem)

public:
    // An empty name means $DISPLAY.
    explicit X11WindowSystem(const QByteArray &displayName = {});
    ~X11WindowSystem() override;

    // False when the X server could not be reached.
    bool isConnected() const;

    QSize screenSize() const override;
    int titleBarHeight() const override;
    // Exact titles win over prefixes; among equals the one highest on the
    // screen wins. A window that vanishes on the way is passed over for the
    // next match. The window manager's client list is asked first; when it
    // holds no such window, or there is none, the window tree is.
    bool bringToFront(const QString &title) override;
    PointerState pointer() const override;

private:
    class Connection;
    std::unique_ptr<Connection> m_x;
};

} // namespace Tamberlyn::Platform
