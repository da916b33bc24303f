#pragma once

#include "tables/indextables.h"

#include <QStringList>

#include <optional>
#include <vector>

namespace Tamberlyn::Finders {

// What the Search window shows after a search.
struct SearchResult
{
    QStringList entries;     // lbResults: each page's title followed by one space
    QStringList resultFiles; // ResultFiles: resultFiles[k] is the page of entries[k]

    qsizetype count() const { return entries.size(); }
    QString label() const;   // "Found:  N pages"
};

// The one or two words a search looks for in the entry box text, as typed:
// the first word, and the second when there is one (a third and more are
// ignored). None for a text of spaces only.
QStringList searchWords(QStringView entryText);
// The words after the second, as typed, which the search leaves out.
QStringList leftOutWords(QStringView entryText);

// A set of the pages of a course, each page once (page files compared
// exactly, as the search's duplicate rule compares them).
class PageSet final
{
public:
    explicit PageSet(qsizetype pageCount = 0);

    void add(qsizetype page);
    bool contains(qsizetype page) const;
    qsizetype count() const;
    // The pages in both sets: what a two-word search lists.
    qsizetype countShared(const PageSet &other) const;

private:
    std::vector<quint64> m_bits;
};

// The Search window's full-text search over the word index. A query is one
// or two words; each matches every index word that begins with it, letter
// case and the typographic apostrophes and hyphens aside (Tables::searchKey),
// and the pages come from the matching words' file lists.
class SearchIndex final
{
public:
    SearchIndex() = default;
    SearchIndex(const Tables::WordTable &words, const Tables::PageTable &pages);

    // cmdFTS_Click on the entry box text. Nothing for a text of spaces only:
    // the window then keeps its list, ResultFiles and count as they were.
    //
    // One word: every page of every matching word, in the order of the words
    // and of their file lists, each page (compared exactly) at its first
    // place. Two words (a third and more are ignored): the pages of the
    // first word, in that order, that also carry the second word, each once.
    //
    // A file number that is not decimal, is 0 or above 12400, or names a
    // line without a page file is skipped: there is no page to open for it.
    std::optional<SearchResult> search(QStringView entryText) const;

    // The pages a one-word search for `word` lists. A search of two words
    // lists the pages both words' sets hold, so the sets tell what a search
    // would find without listing it.
    PageSet pagesOf(QStringView word) const;

private:
    struct WordSlot
    {
        QString key;                  // the word without its spaces, upper case
        std::vector<qsizetype> files; // its usable file numbers, in list order
    };

    template <typename Visit>
    void forEachFileOf(const QString &query, Visit &&visit) const;
    SearchResult oneWord(const QString &query) const;
    SearchResult twoWords(const QString &first, const QString &second) const;
    void list(SearchResult &result, qsizetype file) const;

    std::vector<WordSlot> m_words;
    // By file number (slot 0 unused): the page file, its title as listed, and
    // a number shared by every file number with the same page file, so the
    // duplicate rule is a flag per page instead of a search.
    QStringList m_pageFiles;
    QStringList m_entries;
    std::vector<qsizetype> m_pageIds;
    qsizetype m_pageCount = 0;
};

} // namespace Tamberlyn::Finders
