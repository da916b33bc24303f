#include "mainkeys.h"

namespace Tamberlyn::Shell {

namespace {

void run(const std::function<void()> &action)
{
    // One missing action must not stop the steps after it.
    if (action)
        action();
}

} // namespace

bool mainWindowKey(int key, Qt::KeyboardModifiers modifiers, const MainKeyActions &actions)
{
    run(actions.hideHelp);
    if (modifiers & Qt::AltModifier) {
        // With Shift held, comma and full stop arrive as "<" and ">".
        switch (key) {
        case Qt::Key_Q:
            run(actions.askQuit);
            return true;
        case Qt::Key_Comma:
        case Qt::Key_Less:
            run(actions.previous);
            return true;
        case Qt::Key_Period:
        case Qt::Key_Greater:
            run(actions.next);
            return true;
        default:
            break;
        }
    }
    switch (key) {
    case Qt::Key_Escape:
        run(actions.stopMedia);
        run(actions.stopLoad);
        return false;
    case Qt::Key_PageUp:
        run(actions.previous);
        return true;
    case Qt::Key_PageDown:
        run(actions.next);
        return true;
    default:
        return false;
    }
}

} // namespace Tamberlyn::Shell
