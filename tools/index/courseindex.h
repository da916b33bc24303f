#pragma once

#include "tables/codepage.h"
#include "tables/indextables.h"

#include <QHash>
#include <QList>
#include <QMap>
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
    // The folder that holds the pages: COURSE_DIR/kq_cbt/kq when there is
    // one (a web root), else COURSE_DIR itself.
    static QString pagesFolder(const QString &courseDir);

    explicit CourseIndex(Tables::CodePage codePage = Tables::CodePage::windows1252());

    // The title falls back to the page file when the page has none, so a
    // result is never a blank line.
    void addPage(const QString &pageFile, const HtmlPage &page);

    // What a page held that the code page cannot: the words left out (they
    // could never be written, nor typed into the windows), and the title as
    // written instead, with the closest characters.
    struct Unwritable
    {
        QString pageFile;
        QStringList words; // distinct, in the order the page shows them
        QString title;     // the page's title; empty when it could be written
        QString writtenTitle;
    };
    static constexpr qsizetype ExamplesPerPage = 5;

    qsizetype pageCount() const { return m_pages.size(); }
    qsizetype wordCount() const { return m_words.size(); }
    // By page, in file-number order; only pages that held something.
    const QList<Unwritable> &unwritable() const { return m_unwritable; }

    // Pages by file number; words in alphabetical order with letter case
    // aside, each with its pages in file-number order. A word is spelt in
    // lower case when it is ever written so, else as it is most often on the
    // pages (the first seen of equally frequent spellings).
    QList<Tables::PageLine> files() const { return m_pages; }
    QList<Tables::WordLine> words() const;

private:
    struct Word
    {
        QMap<QString, qsizetype> spellings; // spelling -> how often seen
        QHash<QString, qsizetype> firstSeen;
        QList<qsizetype> files;
    };

    Tables::CodePage m_codePage;
    QList<Tables::PageLine> m_pages;
    QHash<QString, Word> m_words; // by the upper-case word
    QList<Unwritable> m_unwritable;
    qsizetype m_seen = 0;
};

} // namespace Tamberlyn::IndexTool
