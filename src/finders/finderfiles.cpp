#include "finderfiles.h"

#include "tables/tablefiles.h"

namespace Tamberlyn::Finders {

LoadedWordIndex loadWordIndex(const Tables::TableFileReader &reader, const QString &folder)
{
    const Tables::WordsRead words = reader.readWords(Tables::wordsFilePath(folder));
    LoadedWordIndex loaded{WordIndex(words.table), {}};
    if (words.message)
        loaded.messages.append(*words.message);
    return loaded;
}

LoadedSearchIndex loadSearchIndex(const Tables::TableFileReader &reader, const QString &folder)
{
    LoadedSearchIndex loaded;
    const Tables::FilesRead files = reader.readFiles(Tables::filesFilePath(folder));
    if (files.message)
        loaded.messages.append(*files.message);
    const Tables::WordsRead words = reader.readWords(Tables::wordsFilePath(folder));
    if (words.message)
        loaded.messages.append(*words.message);
    loaded.index = SearchIndex(words.table, files.table);
    loaded.suggestions = SearchSuggestions(words.table);
    return loaded;
}

} // namespace Tamberlyn::Finders
