#pragma once

#include <QImage>
#include <QRect>

namespace Tamberlyn::Shell {

// The help image shown over the page by Help: the button bar and what each
// button does, then the symbols the course pages use. Drawn, not loaded, at
// the device pixel ratio asked for, so it stays sharp on any screen.
QImage helpImage(qreal devicePixelRatio = 1.0);

inline constexpr QSize HelpImageSize{780, 604};
// The end of the help image's line for the look key, left for the three
// looks the main window lays over it (reading/lookpicker.h).
inline constexpr QRect HelpLookChoicePlace{420, 568, 340, 26};

} // namespace Tamberlyn::Shell
