#include "courseindex.h"

#include "htmlpage.h"
#include "transliteration.h"
#include "wordsplitter.h"

#include "tables/textrules.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace Tamberlyn::IndexTool {

bool CourseIndex::isIndexedPage(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^kq[0-9]{6}\\.vxp$"));
    return pattern.match(fileName).hasMatch();
}

QString CourseIndex::pagesFolder(const QString &courseDir)
{
    const QDir course(courseDir);
    const QString webRoot = course.filePath(QStringLiteral("kq_cbt/kq"));
    return QDir(webRoot).exists() ? webRoot : course.path();
}

CourseIndex::CourseIndex(Tables::CodePage codePage)
    : m_codePage(std::move(codePage))
{
}

void CourseIndex::addPage(const QString &pageFile, const HtmlPage &page)
{
    Unwritable unwritable{pageFile, {}, {}, {}};
    QString title = page.title;
    if (!m_codePage.canEncode(title)) {
        unwritable.title = title;
        title = closestInCodePage(title, m_codePage).simplified();
        unwritable.writtenTitle = title;
    }
    if (title.isEmpty())
        title = pageFile;
    m_pages.append({pageFile, title});
    const qsizetype file = m_pages.size();

    QSet<QString> leftOut;
    for (const QString &spelling : splitWords(page.text)) {
        const QString key = Tables::upperCase(spelling);
        auto word = m_words.find(key);
        // A spelling seen before was written before; only a new one needs
        // the code page's round trip.
        if (word == m_words.end() || !word->spellings.contains(spelling)) {
            if (!m_codePage.canEncode(spelling)) {
                if (!leftOut.contains(spelling)) {
                    leftOut.insert(spelling);
                    unwritable.words.append(spelling);
                }
                continue;
            }
            if (word == m_words.end())
                word = m_words.insert(key, Word());
        }
        ++word->spellings[spelling];
        if (!word->firstSeen.contains(spelling))
            word->firstSeen.insert(spelling, m_seen++);
        if (word->files.isEmpty() || word->files.back() != file)
            word->files.append(file);
    }
    if (!unwritable.words.isEmpty() || !unwritable.title.isEmpty())
        m_unwritable.append(std::move(unwritable));
}

QList<Tables::WordLine> CourseIndex::words() const
{
    QStringList keys = m_words.keys();
    // Upper-case keys in character order: alphabetical with letter case
    // aside, and the same on every machine, whatever its locale.
    std::sort(keys.begin(), keys.end());

    QList<Tables::WordLine> lines;
    lines.reserve(keys.size());
    for (const QString &key : keys) {
        const Word &word = m_words.value(key);
        // A word in lower case anywhere is listed in lower case, so a word
        // that also opens sentences is not listed with a capital.
        const QString lower = key.toLower();
        QString best = word.spellings.contains(lower) ? lower : QString();
        for (auto it = word.spellings.cbegin(); best != lower && it != word.spellings.cend(); ++it) {
            const qsizetype bestCount = best.isEmpty() ? 0 : word.spellings.value(best);
            if (it.value() > bestCount
                || (it.value() == bestCount && word.firstSeen.value(it.key()) < word.firstSeen.value(best)))
                best = it.key();
        }
        QString fileList;
        for (const qsizetype file : word.files)
            fileList += QString::number(file) + u'\t';
        lines.append({best, fileList});
    }
    return lines;
}

} // namespace Tamberlyn::IndexTool
