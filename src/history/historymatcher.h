#pragma once

#include "historyitem.h"
#include "multipatternmatcher.h"

#include "tables/indextables.h"

#include <QList>
#include <QStringList>

#include <vector>

namespace Tamberlyn::History {

// LoadHist's matching: history lines against the page table. An entry
// matches a line when its page file, without surrounding spaces, occurs in
// the line without surrounding spaces from the line's second character on
// (the first is the opening quote), letter case aside. Only the entries
// before the first one without a page file take part.
class HistoryMatcher final
{
public:
    // A list this long is far beyond any real history (12400 lines, each
    // naming one page); a crafted page table whose page files all occur in
    // every line would otherwise ask for 12400 x 12400 items.
    static constexpr qsizetype MaxItems = 1'000'000;

    explicit HistoryMatcher(const Tables::PageTable &pages);

    // For each line in order, an item per matching entry in table order
    // (title and page file): a line can give none, one or several, and a page
    // seen twice is listed twice. Lines of spaces only give nothing. Stops at
    // MaxItems items.
    QList<HistoryItem> match(const QStringList &historyLines) const;

private:
    QList<HistoryItem> m_entries; // the taking part entries, by table order
    MultiPatternMatcher m_matcher;
};

} // namespace Tamberlyn::History
