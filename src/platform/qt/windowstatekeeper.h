#pragma once

class QWidget;

namespace Tamberlyn::Platform {

// From now on `window` keeps, while it is hidden, the maximised (or full
// screen) state that the program or the learner last gave it. A window
// manager clears the state of a window it stops managing (xfwm4 and openbox
// delete _NET_WM_STATE when a window is withdrawn), and Qt reads that as a
// change the window manager made: the window would show again in the normal
// state, and a hand-over that reads it would pass the normal state on. The
// state is put back at once, and once more before the window is mapped, so
// that Qt writes it into _NET_WM_STATE for the window manager to map the
// window in.
void keepStateWhileHidden(QWidget &window);

} // namespace Tamberlyn::Platform
