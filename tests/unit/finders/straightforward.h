#pragma once

// The finders' algorithms written the plain way, as a yardstick: fixed
// tables of 12401 slots, a scan of every slot per query word, a linear
// search among the pages found so far for every file number, a linear search
// among the partners for every candidate, every history line tested
// against every page file, and for the suggestions every word folded afresh
// and measured with the whole edit table, and every count a search. The equivalence test and the benchmark hold the
// real implementations to the same output.

#include "tables/indextables.h"
#include "finders/searchindex.h"
#include "finders/searchsuggestions.h"
#include "finders/wordindex.h"
#include "history/historyitem.h"

#include <QStringList>

#include <optional>

namespace Straightforward {

Tamberlyn::Finders::Narrowing narrow(const Tamberlyn::Tables::WordTable &words, QStringView entryText);

std::optional<Tamberlyn::Finders::SearchResult> search(const Tamberlyn::Tables::WordTable &words,
                                                       const Tamberlyn::Tables::PageTable &pages,
                                                       QStringView entryText);

QList<Tamberlyn::Finders::SuggestedSearch> suggest(const Tamberlyn::Tables::WordTable &words,
                                                    const Tamberlyn::Tables::PageTable &pages,
                                                    QStringView entryText);

QList<Tamberlyn::History::HistoryItem> matchHistory(const QStringList &historyLines,
                                                    const Tamberlyn::Tables::PageTable &pages);

} // namespace Straightforward
