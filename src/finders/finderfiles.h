#pragma once

#include "searchindex.h"
#include "searchsuggestions.h"
#include "wordindex.h"

#include "tables/tablefilereader.h"
#include "tables/tablemessages.h"

#include <QList>
#include <QString>

namespace Tamberlyn::Finders {

// LoadWords' reading: the Index window's words. `messages` holds the box to
// show, if any.
struct LoadedWordIndex
{
    WordIndex index;
    QList<Tables::TableMessage> messages;
};
LoadedWordIndex loadWordIndex(const Tables::TableFileReader &reader, const QString &folder);

// LoaderUp's reading: "files.vxp", then "words.vxp", each kept as far as it
// could be read, and the suggestions from the same words. `messages` holds
// the boxes to show, in order.
struct LoadedSearchIndex
{
    SearchIndex index;
    SearchSuggestions suggestions;
    QList<Tables::TableMessage> messages;
};
LoadedSearchIndex loadSearchIndex(const Tables::TableFileReader &reader, const QString &folder);

} // namespace Tamberlyn::Finders
