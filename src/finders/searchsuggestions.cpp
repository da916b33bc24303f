#include "searchsuggestions.h"

#include "tables/textrules.h"

#include <algorithm>
#include <tuple>

namespace Tamberlyn::Finders {

namespace {

// A word a suggestion may use in place of a typed one, and its pages.
struct Choice
{
    QString word;
    KeyDistance distance;
    PageSet pages;
};

} // namespace

SearchSuggestions::SearchSuggestions(const Tables::WordTable &words)
    : m_words(words)
{
}

QList<SuggestedSearch> SearchSuggestions::suggest(QStringView entryText, const SearchIndex &index) const
{
    const QStringList words = searchWords(entryText);
    if (words.isEmpty())
        return {};
    if (words.size() == 1)
        return forOneWord(words.constFirst(), index);
    return forTwoWords(words.at(0), words.at(1), index);
}

QList<SuggestedSearch> SearchSuggestions::forOneWord(const QString &word, const SearchIndex &index) const
{
    QList<SuggestedSearch> suggestions;
    // A word whose file list names no page finds nothing; ask for a few more.
    for (const WordSuggestion &close : m_words.closest(word, 2 * MostShown)) {
        if (const qsizetype pages = index.pagesOf(close.word).count(); pages > 0)
            suggestions.append({close.word, pages});
        if (suggestions.size() == MostShown)
            break;
    }
    return suggestions;
}

QList<SuggestedSearch> SearchSuggestions::forTwoWords(const QString &first, const QString &second,
                                                      const SearchIndex &index) const
{
    // Each word as typed when it finds pages on its own, then its close
    // words that find pages the typed one does not already list.
    const auto choicesFor = [&](const QString &typed) {
        QList<Choice> choices;
        PageSet asTyped = index.pagesOf(typed);
        const bool typedFinds = asTyped.count() > 0;
        const QString typedKey = Tables::searchKey(typed);
        if (typedFinds)
            choices.append({typed, {}, std::move(asTyped)});
        for (const WordSuggestion &close : m_words.closest(typed, WordsPerWordOfTwo)) {
            if (typedFinds && Tables::searchKey(close.word).startsWith(typedKey))
                continue;
            PageSet pages = index.pagesOf(close.word);
            if (pages.count() > 0)
                choices.append({close.word, close.distance, std::move(pages)});
        }
        return choices;
    };
    const QList<Choice> firsts = choicesFor(first);
    const QList<Choice> seconds = choicesFor(second);

    struct Pair
    {
        qsizetype first;
        qsizetype second;
        std::tuple<int, int, qsizetype> rank; // edits to the beginnings, to the wholes, places
    };
    std::vector<Pair> pairs;
    for (qsizetype i = 0; i < firsts.size(); ++i) {
        for (qsizetype j = 0; j < seconds.size(); ++j) {
            const KeyDistance &a = firsts.at(i).distance;
            const KeyDistance &b = seconds.at(j).distance;
            pairs.push_back({i, j, {a.toBeginning + b.toBeginning, a.toWhole + b.toWhole, i + j}});
        }
    }
    std::sort(pairs.begin(), pairs.end(), [](const Pair &x, const Pair &y) {
        return std::tie(x.rank, x.first) < std::tie(y.rank, y.first);
    });

    QList<SuggestedSearch> suggestions;
    for (const Pair &pair : pairs) {
        const Choice &a = firsts.at(pair.first);
        const Choice &b = seconds.at(pair.second);
        // The pair as typed found nothing, and drops out here.
        if (const qsizetype shared = a.pages.countShared(b.pages); shared > 0)
            suggestions.append({a.word + u' ' + b.word, shared});
        if (suggestions.size() == MostShown)
            return suggestions;
    }
    if (!suggestions.isEmpty())
        return suggestions;

    // No page holds both: each word alone, as the learner can then see.
    for (const QList<Choice> *choices : {&firsts, &seconds}) {
        if (!choices->isEmpty())
            suggestions.append({choices->constFirst().word, choices->constFirst().pages.count()});
    }
    if (suggestions.size() == 2 && suggestions.at(0).query == suggestions.at(1).query)
        suggestions.removeLast();
    return suggestions;
}

} // namespace Tamberlyn::Finders
