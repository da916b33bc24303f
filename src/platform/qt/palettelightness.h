#pragma once

#include <QPalette>

namespace Tamberlyn::Platform {

// A light palette: its ground at least as light as its text.
inline bool isLightPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() >= palette.color(QPalette::WindowText).lightnessF();
}

} // namespace Tamberlyn::Platform
