#include "findertexts.h"

namespace Tamberlyn::Finders {

QString initialFoundLabel()
{
    return QStringLiteral("Found:");
}

QString wordsFoundLabel(qsizetype count)
{
    return QStringLiteral("Found:  ") + QString::number(count) + QStringLiteral(" words");
}

QString pagesFoundLabel(qsizetype count)
{
    return QStringLiteral("Found:  ") + QString::number(count) + QStringLiteral(" pages");
}

namespace {

QString quoted(const QString &word)
{
    return u'"' + word + u'"';
}

// "a", "a" and "b", "a", "b" and "c".
QString listOf(const QStringList &words)
{
    QStringList quotedWords;
    for (const QString &word : words)
        quotedWords.append(quoted(word));
    if (quotedWords.size() <= 1)
        return quotedWords.join(QString());
    const QString last = quotedWords.takeLast();
    return quotedWords.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

} // namespace

QString leftOutNotice(const QStringList &searched, const QStringList &leftOut)
{
    if (leftOut.isEmpty() || searched.size() < 2)
        return {};
    return QStringLiteral("Only %1 were looked for: a search takes two words at most, so %2 %3 left out.")
        .arg(listOf(searched), listOf(leftOut), leftOut.size() == 1 ? QStringLiteral("was") : QStringLiteral("were"));
}

QString nothingFoundHeadline(const QStringList &searched, bool suggestionsFollow)
{
    const QString what = searched.size() >= 2 ? QStringLiteral("No page has both %1.").arg(listOf(searched))
                                              : QStringLiteral("No page has a word beginning with %1.")
                                                    .arg(listOf(searched));
    if (suggestionsFollow) {
        return what + (searched.size() >= 2
                           ? QStringLiteral(" These close searches find pages; a click or Enter runs one:")
                           : QStringLiteral(" These words of the course come close;"
                                            " a click or Enter searches for one:"));
    }
    return what
           + QStringLiteral(" No word of the course comes close. Check the spelling, type only the first letters,"
                            " or look the word up in the Index (Alt+I).");
}

QString suggestionEntry(const QString &query, qsizetype pages)
{
    return QStringLiteral("%1   (%2 %3)")
        .arg(query, QString::number(pages), pages == 1 ? QStringLiteral("page") : QStringLiteral("pages"));
}

} // namespace Tamberlyn::Finders
