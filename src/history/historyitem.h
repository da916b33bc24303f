#pragma once

#include "tables/textrules.h"

#include <QString>

namespace Tamberlyn::History {

// One item of the History window's list and its entry in HistPages.
struct HistoryItem
{
    QString text; // the page's title, or a raw history line (quotes and all)
    QString page; // the page file as the table holds it; empty for a raw line

    // What choosing the item opens: the page without surrounding spaces.
    QString pageToOpen() const { return Tables::trimSpaces(page).toString(); }

    friend bool operator==(const HistoryItem &, const HistoryItem &) = default;
};

} // namespace Tamberlyn::History
