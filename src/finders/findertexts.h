#pragma once

#include <QString>

// Every text the finder data hands to the windows, character for character,
// in one place: the windows show them, the index tool prints them.
namespace Tamberlyn::Finders {

// The boxes a load can ask for. The windows show each with an OK button and
// the application's title.
enum class FinderMessage { TooManyWords, TooManyFiles, TooManyHistoryEntries };

// "Too many words!", "Too many files!", "Too many History entries!".
QString messageText(FinderMessage message);

// The count label before the first count: "Found:".
QString initialFoundLabel();
// "Found:  12 words" and "Found:  3 pages": two spaces after the colon,
// the count in plain decimal.
QString wordsFoundLabel(qsizetype count);
QString pagesFoundLabel(qsizetype count);

} // namespace Tamberlyn::Finders
