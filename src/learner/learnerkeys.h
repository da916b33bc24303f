#pragma once

#include <Qt>

namespace Tamberlyn::Learner {

enum class LearnerKey { None, Bookmark, Bookmarks, FirstUnread, Continue, Forget };

// The main window's keys for the learner record, asked after the course's
// own keys and the reading aids', none of which they share:
//   Ctrl+D             bookmark the page shown (with a note)
//   Ctrl+B             the Bookmarks list
//   Ctrl+U             the first unread page of the module
//   Ctrl+J             continue where you left off, while that is offered
//   Ctrl+Shift+Delete  forget this course's record (asks first)
// Alt or Meta with them make another key, as does Shift with the letters.
LearnerKey learnerKey(int key, Qt::KeyboardModifiers modifiers);

} // namespace Tamberlyn::Learner
