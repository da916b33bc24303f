#pragma once

#include "bookmark.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Tamberlyn::Learner {

// The bookmarks that the Search window's words find, in the order given: as
// the Search window matches index words, a query word matches a word of a
// bookmark's page title or note that begins with it, letter case aside; the
// first two words of the query count, and with two both must match. A
// query of spaces only finds nothing.
QList<Bookmark> matchingBookmarks(const QList<Bookmark> &bookmarks, const QString &query);

// The words of a text as the matching above cuts it: runs of letters,
// marks and digits (an apostrophe between two letters stays inside).
QStringList bookmarkWords(const QString &text);

} // namespace Tamberlyn::Learner
