#pragma once

#include <QMargins>
#include <QRect>

namespace Tamberlyn::Platform {

// The window's client rectangle moved, and made smaller only where it
// cannot fit, so that the window with its frame lies wholly inside
// `workArea`. A window already inside is given back unchanged.
QRect insideWorkArea(const QRect &client, const QMargins &frame, const QRect &workArea);

} // namespace Tamberlyn::Platform
