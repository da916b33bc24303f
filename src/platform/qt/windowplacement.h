#pragma once

#include <QMargins>

class QWidget;

namespace Tamberlyn::Platform {

// The four big windows take each other's place on the desktop. A place is
// handed over in client coordinates: windows of ours wear the same frame,
// so their outer corners then meet as well, and nothing depends on what Qt
// believes about the frame of a window the window manager has not framed
// yet (which is nothing at all, until it first shows). Asking for the outer
// corner instead made each hand-over shift the next window by the height
// of the title bar.

// The frame the window manager draws around `window`, as far as it is
// known; nothing for a window not shown yet.
QMargins frameOf(const QWidget &window);

// `target`, in the normal state, goes where `source` is (its size stays),
// then moves, or shrinks where it must, to lie wholly inside the work area.
void takePlaceOf(QWidget &target, const QWidget &source);

// A normal window that sticks out of the work area comes back inside it.
// `frame` stands in for the window's own frame while that is not known.
void keepInsideWorkArea(QWidget &window, const QMargins &frame = {});

// From now on, whenever `window` comes back to the normal state (the
// window manager restores it, or a hand-over makes it normal), it is kept
// inside the work area. The size it comes back to is the window manager's
// memory of the normal size, ours at first, and the course's design size
// does not fit beside a frame on every screen. The geometry the window
// manager restores may arrive a little after the state, so the watch
// lasts a moment.
void keepInsideWhenRestored(QWidget &window);

} // namespace Tamberlyn::Platform
