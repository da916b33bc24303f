#pragma once

#include <QRectF>

class QPainter;

namespace Tamberlyn::SimBridge {

// The RETURN TO TEXT button: a blue button with a disc at its left. Drawn,
// not loaded, so it stays crisp at any scale; `pressed` is the darker look.
void paintReturnButton(QPainter &painter, const QRectF &area, bool pressed);

} // namespace Tamberlyn::SimBridge
