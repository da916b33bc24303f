#include "boxplacement.h"

#include <QtGlobal>

namespace Tamberlyn::Platform {

QPoint boxPosition(const QRect &ownerFrame, QSize boxFrameSize, QPoint offset, const QRect &available)
{
    const QPoint wanted = ownerFrame.topLeft() + offset;
    if (!available.isValid())
        return wanted;
    // A box larger than the screen keeps its top-left corner on the screen.
    const int x = qBound(available.left(), wanted.x(),
                         qMax(available.left(), available.right() + 1 - boxFrameSize.width()));
    const int y = qBound(available.top(), wanted.y(),
                         qMax(available.top(), available.bottom() + 1 - boxFrameSize.height()));
    return {x, y};
}

} // namespace Tamberlyn::Platform
