#include "learnerkeys.h"

namespace Tamberlyn::Learner {

LearnerKey learnerKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier))
        return LearnerKey::None;
    const Qt::KeyboardModifiers rest = modifiers & ~Qt::KeypadModifier;
    if (rest == (Qt::ControlModifier | Qt::ShiftModifier))
        return key == Qt::Key_Delete ? LearnerKey::Forget : LearnerKey::None;
    if (rest != Qt::ControlModifier)
        return LearnerKey::None;
    switch (key) {
    case Qt::Key_D:
        return LearnerKey::Bookmark;
    case Qt::Key_B:
        return LearnerKey::Bookmarks;
    case Qt::Key_U:
        return LearnerKey::FirstUnread;
    case Qt::Key_J:
        return LearnerKey::Continue;
    default:
        return LearnerKey::None;
    }
}

} // namespace Tamberlyn::Learner
