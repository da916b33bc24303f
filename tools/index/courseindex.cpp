#include "courseindex.h"

#include "htmlpage.h"
#include "transliteration.h"
#include "wordsplitter.h"

#include "tables/textrules.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace Tamberlyn::IndexTool {

bool CourseIndex::isIndexedPage(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^kq[0-9]{6}\\.vxp$"));
    return pattern.match(fileName).hasMatch();
}

CourseIndex::CourseIndex(Tables::CodePage codePage)
    : m_codePage(std::move(codePage))
{
}

void CourseIndex::addPage(const QString &pageFile, const HtmlPage &page)
{
    Unwritable unwritable{pageFile, {}, 0, {}, {}};
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
    forEachWord(page.text, [&](QStringView spelling) {
        if (!m_tooManyWords)
            addWord(spelling, file, unwritable, leftOut);
    });
    if (unwritable.wordCount > 0 || !unwritable.title.isEmpty())
        m_unwritable.append(std::move(unwritable));
}

void CourseIndex::addWord(QStringView spelling, qsizetype file, Unwritable &unwritable, QSet<QString> &leftOut)
{
    const QString key = Tables::upperCase(spelling);
    auto word = m_words.find(key);
    qsizetype seen = -1; // the spelling among the word's weighed ones
    if (word != m_words.end()) {
        for (qsizetype i = 0; i < word->spellings.size() && seen < 0; ++i) {
            if (word->spellings.at(i).text == spelling)
                seen = i;
        }
    }
    // A spelling seen before was written before; only a new one needs the
    // code page's round trip (one past the weighed ones needs it each time).
    if (seen < 0) {
        if (!m_codePage.canEncode(spelling)) {
            const QString text = spelling.toString();
            if (!leftOut.contains(text)) {
                leftOut.insert(text);
                if (unwritable.words.size() < ExamplesPerPage)
                    unwritable.words.append(text);
                ++unwritable.wordCount;
            }
            return;
        }
        if (word == m_words.end()) {
            if (m_words.size() == Tables::MaxTableLines) {
                m_tooManyWords = true;
                return;
            }
            word = m_words.insert(key, Word{key.toLower(), false, {}, {}});
        }
        if (word->spellings.size() < SpellingsWeighed) {
            word->spellings.append({spelling.toString(), 0});
            seen = word->spellings.size() - 1;
        }
    }
    if (seen >= 0)
        ++word->spellings[seen].count;
    if (spelling == word->lower)
        word->seenInLower = true;
    if (word->files.isEmpty() || word->files.back() != file)
        word->files.append(quint16(file));
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
        // that also opens sentences is not listed with a capital. Otherwise
        // the most frequent spelling; of equals, the first seen.
        QString best = word.lower;
        if (!word.seenInLower) {
            qsizetype bestCount = 0;
            for (const Spelling &spelling : word.spellings) {
                if (spelling.count > bestCount) {
                    best = spelling.text;
                    bestCount = spelling.count;
                }
            }
        }
        QString fileList;
        for (const quint16 file : word.files)
            fileList += QString::number(file) + u'\t';
        lines.append({best, fileList});
    }
    return lines;
}

} // namespace Tamberlyn::IndexTool
