#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

namespace Tamberlyn::Shell {

// A pop-up command line: "/POPJPG=" FILE ? "/W" ? WIDTH ? "/H" ? HEIGHT, read
// by position from the first "/W" and the first "/H" of the whole line. The
// character before each marker and the one after it are ignored, whatever
// they are.
struct PopupCommand
{
    QString popFile;  // relative to FileLocn; empty when "/W" leaves no room
    int width = 0;    // wanted size in pixels; 0 when unreadable
    int height = 0;
};

// Nothing when the line lacks "/W" or "/H": then nothing is shown.
std::optional<PopupCommand> parsePopupCommand(const QString &commandLine);

inline constexpr int TwipsPerPixel = 15;

// The pop-up's outer rectangle in twips: the wanted size plus 700 x 300
// twips, its top-left corner at the pointer, pulled back to end 200 twips
// short of the right or bottom edge when it would cross it (and so above or
// left of the screen when it is larger than the screen).
QRect popupTwips(QSize wanted, QPoint pointerPixels, QSize screenPixels);
// The same in pixels, the unit the window system takes.
QRect popupPixels(QSize wanted, QPoint pointerPixels, QSize screenPixels);

} // namespace Tamberlyn::Shell
