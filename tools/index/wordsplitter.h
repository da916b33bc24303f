#pragma once

#include <QStringList>

#include <functional>

namespace Tamberlyn::IndexTool {

// Splits page text into index words the way a learner types them.
//
// A word is a run of letters (with their accents) and decimal digits.
// Invisible format characters such as the soft hyphen are dropped, so they
// never split a word. A hyphen or an apostrophe between two such characters
// joins the runs around it into one compound word ("apt-get", "utf-8",
// "user's", "d'être"); the typographic apostrophes (’ ‘ ʼ) and hyphens (‐ ‑)
// are written as the plain ' and -, the ones a learner types. Everything
// else separates words: spaces, punctuation, dashes, superscripts and
// fractions ("mm²" gives "mm").
//
// Each compound is indexed whole and from each of its parts on: "apt-get"
// gives "apt-get" and "get", "dm-crypt-luks" gives "dm-crypt-luks",
// "crypt-luks" and "luks", "d'être" gives "d'être" and "être". Since the
// Search matches words by their beginning, the compound is then found by
// the whole, by any part ("apt", "get") and by any run of parts from one
// on ("crypt-luks"), and an elided word by the word after the apostrophe.
// Words of one letter or one digit are kept too ("x window", "utf 8").
//
// No word is longer than MaxWordLength: nobody types more, and a page must
// not cost more than its own length in words. A run of letters longer than
// that (a checksum, a key, a long string of filler) is no word. A compound
// word is cut after its last whole part that fits, each part still
// starting a word of its own, so "a-a-a-…" over a whole page costs what the
// page is long, not the square of it.
inline constexpr qsizetype MaxWordLength = 64;

// Hands each word to `take` in page order, repeats included; the view lives
// only for the call.
void forEachWord(QStringView text, const std::function<void(QStringView word)> &take);

// The same words as a list.
QStringList splitWords(QStringView text);

} // namespace Tamberlyn::IndexTool
