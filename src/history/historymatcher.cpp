#include "historymatcher.h"

#include "tables/textrules.h"

#include <QHash>
#include <QLoggingCategory>

namespace Tamberlyn::History {

Q_DECLARE_LOGGING_CATEGORY(lcHistory) // defined with the history log

namespace {

QList<HistoryItem> takingPart(const Tables::PageTable &pages)
{
    QList<HistoryItem> entries;
    for (qsizetype j = 1; j <= Tables::MaxTableLines; ++j) {
        const Tables::PageLine &line = pages.slot(j);
        if (Tables::trimSpaces(line.pageFile).isEmpty())
            break;
        entries.append({line.title, line.pageFile});
    }
    return entries;
}

qsizetype charactersOf(const QList<HistoryItem> &entries)
{
    qsizetype characters = 0;
    for (const HistoryItem &entry : entries)
        characters += Tables::trimSpaces(entry.page).size();
    return characters;
}

QStringList patternsOf(const QList<HistoryItem> &entries, bool refused)
{
    QStringList patterns;
    if (refused)
        return patterns;
    patterns.reserve(entries.size());
    for (const HistoryItem &entry : entries)
        patterns.append(Tables::upperCase(Tables::trimSpaces(entry.page)));
    return patterns;
}

} // namespace

HistoryMatcher::HistoryMatcher(const Tables::PageTable &pages)
    : m_entries(takingPart(pages))
    , m_refused(charactersOf(m_entries) > MaxPageFileCharacters)
    , m_matcher(patternsOf(m_entries, m_refused))
{
    if (m_refused) {
        qCWarning(lcHistory) << "the page table's page files hold more than" << MaxPageFileCharacters
                             << "characters; not matching the history against it";
        m_entries.clear();
    }
}

QList<HistoryItem> HistoryMatcher::match(const QStringList &historyLines) const
{
    // A history names the same few pages again and again: each distinct
    // line is matched once, its entries kept as a span of one buffer.
    struct Span
    {
        std::size_t begin;
        std::size_t end;
    };
    QHash<QString, Span> seen;
    seen.reserve(historyLines.size());
    std::vector<qsizetype> entries;
    MultiPatternMatcher::Scratch scratch = m_matcher.newScratch();
    QList<HistoryItem> items;
    for (const QString &line : historyLines) {
        const QStringView trimmed = Tables::trimSpaces(line);
        if (trimmed.isEmpty())
            continue;
        const QString key = Tables::upperCase(trimmed);
        auto found = seen.find(key);
        if (found == seen.end()) {
            const std::size_t begin = entries.size();
            m_matcher.appendPatternsIn(QStringView(key).sliced(1), entries, scratch);
            found = seen.insert(key, {begin, entries.size()});
        }
        for (std::size_t i = found->begin; i < found->end; ++i) {
            if (items.size() == MaxItems) {
                qCWarning(lcHistory) << "history list cut at" << MaxItems << "items";
                return items;
            }
            items.append(m_entries.at(entries[i]));
        }
    }
    return items;
}

} // namespace Tamberlyn::History
