#pragma once

#include "tables/indextables.h"

#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace Tamberlyn::Finders {

// A typed word and an index word as they are compared when a search found
// nothing: compatibility forms spelt out ("ﬁ" as "fi", "²" as "2"), accents
// dropped, a few letters that have no accent to drop written as a learner
// types them without ("œ" as "OE", "ß" as "SS", "ø" as "O"), upper case,
// and everything that is no letter or digit left out: "(apt-get)," and
// "APTGET" are one key, "Etre" and "d'être" differ only by the D.
QString suggestionKey(QStringView text);

// How far a typed key is from an index word's key, counted in edits of one
// character (a letter left out, added, changed, or two neighbours swapped):
// `toBeginning` to the closest beginning of the word (the search matches
// words by their beginning, so "ecra" is 0 from "ECRAN"), `toWhole` to the
// whole word.
struct KeyDistance
{
    int toBeginning = 0;
    int toWhole = 0;
    friend bool operator==(const KeyDistance &, const KeyDistance &) = default;
};

// The distance, or none as soon as it is clear that even the closest
// beginning of `word` is more than `limit` edits away.
std::optional<KeyDistance> keyDistance(QStringView typed, QStringView word, int limit);

// The most edits a typed key of this length may be from a word suggested
// for it: none up to 2 characters, where one edit reaches nearly any short
// word, 1 up to 5 and 2 from 6 on.
int suggestionLimit(qsizetype typedKeyLength);

// One index word close to what was typed.
struct WordSuggestion
{
    QString word; // as the index lists it, without surrounding spaces
    KeyDistance distance;
    friend bool operator==(const WordSuggestion &, const WordSuggestion &) = default;
};

// The index words closest to a typed word, from the word table alone.
//
// Best first: the closest beginning, then the closest whole word, then the
// word on more pages, then the index's own order. A word is left out when a
// word before it in the list is the beginning of it, since searching for
// the earlier one lists its pages too ("écran" before "écrans"), and so is a
// word that holds a space, which the search would take as two words. Only
// words within one edit of the best one are kept: a list that starts with a
// word spelt exactly as typed, accents aside, does not go on to words two
// slips away.
class WordSuggestions final
{
public:
    WordSuggestions() = default;
    explicit WordSuggestions(const Tables::WordTable &words);

    QList<WordSuggestion> closest(QStringView typed, qsizetype most) const;

    // Typed keys longer than this get no suggestions: no index word comes
    // within two edits of them, and the work grows with the length.
    static constexpr qsizetype LongestTypedKey = 64;

private:
    struct Entry
    {
        QString key;        // suggestionKey() of the word
        QString word;       // the word without surrounding spaces
        QString searchKey;  // the word as the search compares it
        qsizetype pages;    // the numbers in its file list
    };

    std::vector<Entry> m_entries;
};

} // namespace Tamberlyn::Finders
