#include "bookmarkmatch.h"

namespace Tamberlyn::Learner {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

bool isApostrophe(QChar c)
{
    return c == QLatin1Char('\'') || c == QChar(0x2019) || c == QChar(0x2018) || c == QChar(0x02BC);
}

QStringList queryWords(const QString &query)
{
    return query.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(0, 2);
}

bool anyBeginsWith(const QStringList &words, const QString &prefix)
{
    for (const QString &word : words) {
        if (word.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

QStringList bookmarkWords(const QString &text)
{
    QStringList words;
    QString word;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool inside = isWordChar(c)
                            || (isApostrophe(c) && !word.isEmpty() && i + 1 < text.size()
                                && text.at(i + 1).isLetter());
        if (inside) {
            word += isApostrophe(c) ? QLatin1Char('\'') : c;
        } else if (!word.isEmpty()) {
            words << word;
            word.clear();
        }
    }
    if (!word.isEmpty())
        words << word;
    return words;
}

QList<Bookmark> matchingBookmarks(const QList<Bookmark> &bookmarks, const QString &query)
{
    QStringList wanted = queryWords(query);
    if (wanted.isEmpty())
        return {};
    // The typographic apostrophes stand for the plain one, as in the pages.
    for (QString &word : wanted) {
        for (QChar &c : word) {
            if (isApostrophe(c))
                c = QLatin1Char('\'');
        }
    }
    QList<Bookmark> found;
    for (const Bookmark &bookmark : bookmarks) {
        const QStringList words = bookmarkWords(bookmark.title + QLatin1Char(' ') + bookmark.note);
        bool all = true;
        for (const QString &prefix : wanted)
            all = all && anyBeginsWith(words, prefix);
        if (all)
            found << bookmark;
    }
    return found;
}

} // namespace Tamberlyn::Learner
