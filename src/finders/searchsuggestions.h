#pragma once

#include "searchindex.h"
#include "wordsuggestions.h"

#include <QList>
#include <QString>

namespace Tamberlyn::Finders {

// A search the Search window offers in place of one that found nothing.
struct SuggestedSearch
{
    QString query;   // what goes into the entry box
    qsizetype pages; // what the search for it finds
    friend bool operator==(const SuggestedSearch &, const SuggestedSearch &) = default;
};

// What the Search window offers when a search finds nothing: the searches
// closest to it that do find pages, each with what it finds. It leaves the
// search itself as it is: the learner chooses.
//
// One word: the closest index words (WordSuggestions), as the search lists
// their pages. Two words: the pair with either word, or both, replaced by a
// close index word, fewest edits first, that some page holds; when no pair
// does, each word on its own, as typed when it finds pages, else its
// closest index word.
class SearchSuggestions final
{
public:
    SearchSuggestions() = default;
    explicit SearchSuggestions(const Tables::WordTable &words);

    // For a search of `entryText` that found nothing in `index` (the same
    // word table's search index). Best first, at most MostShown; none for a
    // text of spaces only.
    QList<SuggestedSearch> suggest(QStringView entryText, const SearchIndex &index) const;

    static constexpr qsizetype MostShown = 8;
    // Close words tried for each word of a two-word search.
    static constexpr qsizetype WordsPerWordOfTwo = 6;

private:
    QList<SuggestedSearch> forOneWord(const QString &word, const SearchIndex &index) const;
    QList<SuggestedSearch> forTwoWords(const QString &first, const QString &second, const SearchIndex &index) const;

    WordSuggestions m_words;
};

} // namespace Tamberlyn::Finders
