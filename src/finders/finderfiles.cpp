#include "finderfiles.h"

namespace Tamberlyn::Finders {

LoadedWordIndex loadWordIndex(const Tables::TableFileReader &reader, const QString &folder)
{
    // Of the pair, so the words are those the Search will look up.
    const Tables::WordsRead words =
        reader.wordsFrom(reader.readPairBytes(folder, Tables::TableFileReader::PairPart::Words).words);
    LoadedWordIndex loaded{WordIndex(words.table), {}};
    if (words.message)
        loaded.messages.append(*words.message);
    return loaded;
}

LoadedSearchIndex loadSearchIndex(const Tables::TableFileReader &reader, const QString &folder)
{
    LoadedSearchIndex loaded;
    // The file numbers of the words name lines of the files: both of one
    // pair, even while a build switches in a new one.
    const Tables::PairRead pair = reader.readPair(folder);
    if (pair.files.message)
        loaded.messages.append(*pair.files.message);
    if (pair.words.message)
        loaded.messages.append(*pair.words.message);
    loaded.index = SearchIndex(pair.words.table, pair.files.table);
    loaded.suggestions = SearchSuggestions(pair.words.table);
    return loaded;
}

} // namespace Tamberlyn::Finders
