#include "wordindex.h"

#include "findertexts.h"
#include "tables/textrules.h"

namespace Tamberlyn::Finders {

WordIndex::WordIndex(const Tables::WordTable &words)
{
    m_keys.reserve(words.lineCount());
    m_entries.reserve(words.lineCount());
    for (const Tables::WordLine &line : words.lines()) {
        if (line.word.isEmpty())
            continue;
        m_keys.append(Tables::searchKey(line.word));
        m_entries.append(line.word + u' ');
    }
}

Narrowing WordIndex::narrow(QStringView entryText) const
{
    const QString query = Tables::searchKey(Tables::trimSpaces(entryText));
    Narrowing result;
    if (query.isEmpty()) {
        result.entries = m_entries;
    } else {
        for (qsizetype i = 0; i < m_keys.size(); ++i) {
            if (m_keys.at(i).startsWith(query))
                result.entries.append(m_entries.at(i));
        }
    }
    result.label = wordsFoundLabel(result.entries.size());
    return result;
}

} // namespace Tamberlyn::Finders
