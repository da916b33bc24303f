#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace Tamberlyn::Platform {

// Where a message box goes: its top-left corner at the owner's top-left
// corner plus `offset`, its size kept, then pulled back inside the screen's
// available area so that no part of the question is out of reach.
QPoint boxPosition(const QRect &ownerFrame, QSize boxFrameSize, QPoint offset, const QRect &available);

} // namespace Tamberlyn::Platform
