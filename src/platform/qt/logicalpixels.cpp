#include "logicalpixels.h"

#include <QGuiApplication>
#include <QScreen>

namespace Tamberlyn::Platform {

QPoint logicalFromNative(QPoint nativePosition)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens) {
        const QRect logical = screen->geometry();
        const qreal ratio = screen->devicePixelRatio();
        const QRect native(logical.topLeft(), (QSizeF(logical.size()) * ratio).toSize());
        if (native.contains(nativePosition))
            return logical.topLeft() + (nativePosition - logical.topLeft()) / ratio;
    }
    return nativePosition;
}

} // namespace Tamberlyn::Platform
