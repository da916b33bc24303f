#pragma once

#include "findertexts.h"
#include "searchindex.h"
#include "tablefilereader.h"
#include "wordindex.h"

#include <QList>
#include <QString>

namespace Tamberlyn::Finders {

// The two table files, which lie in the program's own folder or, for an
// installed program, in its data folder (indexfolder.h).
inline constexpr char WordsFileName[] = "words.vxp";
inline constexpr char FilesFileName[] = "files.vxp";

QString wordsFilePath(const QString &folder);
QString filesFilePath(const QString &folder);

// LoadWords' reading: the Index window's words. `messages` holds the box to
// show, if any.
struct LoadedWordIndex
{
    WordIndex index;
    QList<FinderMessage> messages;
};
LoadedWordIndex loadWordIndex(const TableFileReader &reader, const QString &folder);

// LoaderUp's reading: "files.vxp", then "words.vxp", each kept as far as it
// could be read. `messages` holds the boxes to show, in order.
struct LoadedSearchIndex
{
    SearchIndex index;
    QList<FinderMessage> messages;
};
LoadedSearchIndex loadSearchIndex(const TableFileReader &reader, const QString &folder);

} // namespace Tamberlyn::Finders
