#pragma once

#include "tables/codepage.h"
#include "tables/indextables.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace Tamberlyn::IndexTool {

struct HtmlPage;

// The word index of a course as it is built: pages are added in file-number
// order, and tables() gives the lines of "files.vxp" and "words.vxp".
class CourseIndex final
{
public:
    // The pages that are indexed: every kqMMNNNN.vxp of the course folder.
    // That is the content pages, which open as themselves, and the module
    // opening and objectives stubs, which open their module's page in the
    // learner's size and which the history log records under the stub's
    // name. Contents, course map and practice pages only list other pages'
    // titles, the module and objectives pages exist in eleven sizes each
    // (reached through the stubs), and trigger pages act instead of showing.
    static bool isIndexedPage(const QString &fileName);

    explicit CourseIndex(Tables::CodePage codePage = Tables::CodePage::windows1252());

    // The title falls back to the page file when the page has none, so a
    // result is never a blank line. Once the words fill a table, no new word
    // is taken (see tooManyWords()).
    void addPage(const QString &pageFile, const HtmlPage &page);

    // What a page held that the code page cannot: the words left out (they
    // could never be written, nor typed into the windows), and the title as
    // written instead, with the closest characters.
    struct Unwritable
    {
        QString pageFile;
        QStringList words;    // the first ExamplesPerPage, in the order the page shows them
        qsizetype wordCount = 0; // all of them, each counted once
        QString title;        // the page's title; empty when it could be written
        QString writtenTitle;
    };
    static constexpr qsizetype ExamplesPerPage = 5;
    // Spellings of one word weighed for how it is listed; real words have a
    // few ("word", "Word", "WORD"), and a page must not make one cost more.
    static constexpr qsizetype SpellingsWeighed = 8;

    qsizetype pageCount() const { return m_pages.size(); }
    qsizetype wordCount() const { return m_words.size(); }
    // A page brought a word beyond the 12400 a table holds: the build fails,
    // so the words after it were not taken, and nothing more is.
    bool tooManyWords() const { return m_tooManyWords; }
    // By page, in file-number order; only pages that held something.
    const QList<Unwritable> &unwritable() const { return m_unwritable; }

    // Pages by file number; words in alphabetical order with letter case
    // aside, each with its pages in file-number order. A word is spelt in
    // lower case when it is ever written so, else as it is most often on the
    // pages (the first seen of equally frequent spellings, of the first
    // SpellingsWeighed seen).
    QList<Tables::PageLine> files() const { return m_pages; }
    QList<Tables::WordLine> words() const;

private:
    struct Spelling
    {
        QString text;
        qsizetype count = 0;
    };
    struct Word
    {
        QString lower; // the key in lower case
        bool seenInLower = false;
        QList<Spelling> spellings; // in the order first seen
        QList<quint16> files;      // file numbers fit: a table has 12400 lines
    };

    void addWord(QStringView spelling, qsizetype file, Unwritable &unwritable, QSet<QString> &leftOut);

    Tables::CodePage m_codePage;
    QList<Tables::PageLine> m_pages;
    QHash<QString, Word> m_words; // by the upper-case word
    QList<Unwritable> m_unwritable;
    bool m_tooManyWords = false;
};

} // namespace Tamberlyn::IndexTool
