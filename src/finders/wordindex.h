#pragma once

#include "tables/indextables.h"

#include <QStringList>

namespace Tamberlyn::Finders {

// What the Index window shows for one entry box text.
struct Narrowing
{
    QStringList entries; // each word followed by one space, in file order
    QString label;       // "Found:  N words"
};

// The Index window's word list, narrowed on every change of its entry box.
class WordIndex final
{
public:
    WordIndex() = default;
    explicit WordIndex(const Tables::WordTable &words);

    // txtInput_Change: every word whose first characters equal the entry
    // text without its surrounding spaces, letter case and the typographic
    // apostrophes and hyphens aside (Tables::searchKey). The stored word
    // is compared as it stands (a word with a leading space matches only the
    // empty entry), and the empty entry lists every word.
    Narrowing narrow(QStringView entryText) const;

    qsizetype wordCount() const { return m_entries.size(); }

private:
    // Only the slots that hold a word, in slot order: an empty word never
    // shows. Keys are the words in upper case, so a keystroke costs one
    // prefix comparison per word and no conversion.
    QStringList m_keys;
    QStringList m_entries;
};

} // namespace Tamberlyn::Finders
