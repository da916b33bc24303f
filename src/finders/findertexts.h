#pragma once

#include <QString>

// The count labels of the Search and Index windows, character for character,
// in one place: the windows show them, the index tool prints them. The boxes
// a table reading asks for are the tables' own (tables/tablemessages.h).
namespace Tamberlyn::Finders {

// The count label before the first count: "Found:".
QString initialFoundLabel();
// "Found:  12 words" and "Found:  3 pages": two spaces after the colon,
// the count in plain decimal.
QString wordsFoundLabel(qsizetype count);
QString pagesFoundLabel(qsizetype count);

} // namespace Tamberlyn::Finders
