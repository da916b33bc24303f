#pragma once

#include <QPoint>

namespace Tamberlyn::Platform {

// A position on the desktop in the window system's own pixels, turned into
// the device-independent pixels that widgets are placed in. With Qt's
// scaling at work (QT_SCALE_FACTOR, per-screen factors) the two differ:
// each screen keeps its top-left corner and runs 1/DPR as fast from there.
// A position on no screen is given back unchanged. Needs a GUI application.
QPoint logicalFromNative(QPoint nativePosition);

} // namespace Tamberlyn::Platform
