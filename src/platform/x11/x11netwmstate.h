#pragma once

class QWidget;

namespace Tamberlyn::Platform {

// Before a hidden window is mapped again: takes out of its _NET_WM_STATE the
// maximised and full-screen marks that its state no longer has.
//
// Qt asks the window manager for a state change of a hidden window by a
// message that window managers ignore for windows they do not manage, and
// before mapping it only adds the marks of the window's state to what the
// property holds; it never takes one out. Where the window manager left the
// property as it was when it let the window go, a window handed the normal
// state would come back maximised. Nothing happens off X11 or for a window
// that has no native window yet.
void dropStaleNetWmState(QWidget &window);

} // namespace Tamberlyn::Platform
