#pragma once

#include <QString>
#include <QStringList>

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

// Beside the count when the entry box held more than two words: which two
// were looked for and which were not, in the learner's words. Empty when
// nothing was left out.
QString leftOutNotice(const QStringList &searched, const QStringList &leftOut);

// Above the suggestions when a search found nothing: what found nothing,
// and whether closer searches follow or what to try instead.
QString nothingFoundHeadline(const QStringList &searched, bool suggestionsFollow);

// One suggestion as listed: the search, and how many pages it finds.
QString suggestionEntry(const QString &query, qsizetype pages);

} // namespace Tamberlyn::Finders
