#include "readingaidkeys.h"

namespace Tamberlyn::Reading {

ReadingAidKey readingAidKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier))
        return ReadingAidKey::None;
    // Shift makes "+" of "=" on most layouts, and the keypad sends its own
    // flag; neither changes what the key means here.
    const Qt::KeyboardModifiers rest = modifiers & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (rest == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            return ReadingAidKey::ZoomIn;
        case Qt::Key_Minus:
            return ReadingAidKey::ZoomOut;
        case Qt::Key_0:
            return ReadingAidKey::ZoomReset;
        case Qt::Key_F:
            return (modifiers & Qt::ShiftModifier) ? ReadingAidKey::None : ReadingAidKey::OpenFind;
        default:
            return ReadingAidKey::None;
        }
    }
    if (rest == Qt::NoModifier && key == Qt::Key_F3)
        return (modifiers & Qt::ShiftModifier) ? ReadingAidKey::FindPrevious : ReadingAidKey::FindNext;
    return ReadingAidKey::None;
}

} // namespace Tamberlyn::Reading
