#include "workarea.h"

#include <QtGlobal>

namespace Tamberlyn::Platform {

QRect insideWorkArea(const QRect &client, const QMargins &frame, const QRect &workArea)
{
    if (workArea.isEmpty() || client.isEmpty())
        return client;
    // The room the client has once the frame is drawn around it.
    const QRect room = workArea.marginsRemoved(frame);
    if (room.isEmpty())
        return client;
    QRect inside(client.topLeft(), client.size().boundedTo(room.size()));
    if (inside.right() > room.right())
        inside.moveRight(room.right());
    if (inside.bottom() > room.bottom())
        inside.moveBottom(room.bottom());
    if (inside.left() < room.left())
        inside.moveLeft(room.left());
    if (inside.top() < room.top())
        inside.moveTop(room.top());
    return inside;
}

} // namespace Tamberlyn::Platform
