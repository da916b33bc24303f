#pragma once

#include "platform/windowsystem.h"

namespace Tamberlyn::Platform {

// Screen facts from Qt. Finding another program's window by its title needs
// the X11 window list, which this class does not reach; it says so rather
// than pretend.
class QtWindowSystem final : public WindowSystem
{
public:
    QSize screenSize() const override;
    int titleBarHeight() const override;
    bool bringToFront(const QString &title) override;
    // Only what Qt sees: the button state is known over our own windows alone.
    PointerState pointer() const override;
};

} // namespace Tamberlyn::Platform
