#pragma once

#include "tables/codepage.h"
#include "tables/indextables.h"

#include <QHash>
#include <QList>
#include <QMap>
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
    // The folder that holds the pages: COURSE_DIR/kq_cbt/kq when there is
    // one (a web root), else COURSE_DIR itself.
    static QString pagesFolder(const QString &courseDir);

    explicit CourseIndex(Tables::CodePage codePage = Tables::CodePage::windows1252());

    // The title falls back to the page file when the page has none, so a
    // result is never a blank line.
    void addPage(const QString &pageFile, const HtmlPage &page);

    qsizetype pageCount() const { return m_pages.size(); }
    qsizetype wordCount() const { return m_words.size(); }
    // Words the code page cannot hold are left out, since they could never
    // be written; how many distinct ones there were.
    qsizetype unwritableWords() const { return m_unwritable.size(); }
    // Titles with characters the code page cannot hold (written as '?').
    const QStringList &unwritableTitles() const { return m_unwritableTitles; }

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
    QSet<QString> m_unwritable;
    QStringList m_unwritableTitles;
    qsizetype m_seen = 0;
};

} // namespace Tamberlyn::IndexTool
