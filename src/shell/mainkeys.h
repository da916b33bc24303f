#pragma once

#include <Qt>

#include <functional>

namespace Tamberlyn::Shell {

struct MainKeyActions
{
    std::function<void()> hideHelp;
    std::function<void()> askQuit;
    std::function<void()> previous;
    std::function<void()> next;
    std::function<void()> stopMedia; // the stop sequence as a click on the backdrop
    std::function<void()> stopLoad;  // a page on its way stops coming
};

// The main window's own keys, seen before the focused control: any key
// hides the help image; Alt+Q asks to quit; Alt+comma and Page Up turn
// back, Alt+full stop and Page Down forward; Escape stops a video or sound
// and a page that is still loading.
// True when the key is consumed (the focused control does not get it);
// Escape is passed on.
bool mainWindowKey(int key, Qt::KeyboardModifiers modifiers, const MainKeyActions &actions);

} // namespace Tamberlyn::Shell
