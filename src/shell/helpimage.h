#pragma once

#include <QImage>

namespace Tamberlyn::Shell {

// The help image shown over the page by Help: the button bar and what each
// button does, then the symbols the course pages use. Drawn, not loaded, at
// the device pixel ratio asked for, so it stays sharp on any screen.
QImage helpImage(qreal devicePixelRatio = 1.0);

inline constexpr QSize HelpImageSize{780, 590};

} // namespace Tamberlyn::Shell
