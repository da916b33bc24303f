#pragma once

#include <QString>

namespace Tamberlyn::Tables {

// The boxes a table reading can ask for: a file with more lines than its
// table holds. The windows show each with an OK button and the
// application's title; the index tool prints them.
enum class TableMessage { TooManyWords, TooManyFiles, TooManyHistoryEntries };

// "Too many words!", "Too many files!", "Too many History entries!",
// character for character.
QString messageText(TableMessage message);

} // namespace Tamberlyn::Tables
