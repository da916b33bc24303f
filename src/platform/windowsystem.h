#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

namespace Tamberlyn::Platform {

class WindowSystem
{
public:
    virtual ~WindowSystem() = default;

    // The whole primary screen, not its available area, in the
    // device-independent pixels that windows are placed and classified in.
    virtual QSize screenSize() const = 0;
    virtual int titleBarHeight() const = 0;
    // Brings to the front the top-level window whose title equals `title`
    // or, failing an exact match, begins with it. False when none was found
    // or the window system cannot do it.
    virtual bool bringToFront(const QString &title) = 0;

    struct PointerState
    {
        QPoint position;      // global, in device-independent pixels
        bool leftButtonDown = false;
    };
    // Where the pointer is and whether the left button is held, anywhere on
    // the screen, not only over our own windows.
    virtual PointerState pointer() const = 0;
};

} // namespace Tamberlyn::Platform
