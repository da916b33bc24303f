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
    // The page files' characters, all together, that a matcher takes. The
    // matcher costs about a hundred bytes a character while it is built, so
    // this bounds it near 50 MB; a real course's names (12400 pages of
    // "kqMMNNNN.vxp") take a thirtieth of it. A "files.vxp" near its size
    // cap with long names would otherwise ask for gigabytes at the History
    // window's first showing.
    static constexpr qsizetype MaxPageFileCharacters = 512 * 1024;

    explicit HistoryMatcher(const Tables::PageTable &pages);

    // True when the taking part page files hold more than
    // MaxPageFileCharacters: no matcher was built, and the table is over
    // what the History window takes.
    bool refused() const { return m_refused; }

    // For each line in order, an item per matching entry in table order
    // (title and page file): a line can give none, one or several, and a page
    // seen twice is listed twice. Lines of spaces only give nothing. Stops at
    // MaxItems items. Nothing when refused().
    QList<HistoryItem> match(const QStringList &historyLines) const;

private:
    QList<HistoryItem> m_entries; // the taking part entries, by table order
    bool m_refused = false;
    MultiPatternMatcher m_matcher;
};

} // namespace Tamberlyn::History
