#pragma once

#include "coursepages.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <utility>

namespace Tamberlyn::Learner {

// The read marks on a page that links to other course pages: a small tick
// after each link to a page read, and "n of m pages read" after each link
// to a module's opening page (green once the module has been opened). Added the way the searched words are
// (reading/searchwordsscript.h), by the viewer in the page's document and
// by nothing the page's text holds: the marks are the links' generated
// content, switched on by attributes of the viewer's own (data-tamberlyn-
// read-mark, data-tamberlyn-read-mark-count), with no effect on the layout
// around them (no wrapping inside, no line height of their own), and a style
// sheet of their own leaves them out of print. A screen reader reads the
// tick as "read" and the count as its words, with the link. Links in the
// page's navigation bar, header, footer and sidebar are left alone: their
// targets change with every page.
//
inline constexpr char ReadMarkClass[] = "tamberlyn-read-mark";

struct ReadMarks
{
    QSet<QString> readPages;                        // page names read
    QHash<QString, std::pair<int, int>> moduleCounts; // opening page -> (read, total)

    bool isEmpty() const { return readPages.isEmpty() && moduleCounts.isEmpty(); }
};

// What to mark on a page with these `links` (absolute addresses, as the
// pane reports them): only the pages it links to, and the counts of the
// modules it links to, so that neither the work here nor the script's
// data grows with a course of thousands of pages.
ReadMarks readMarksFor(const QStringList &links, const QSet<QString> &read, const CoursePages &course);

QString readMarksScript(const ReadMarks &marks, bool measure = false);

} // namespace Tamberlyn::Learner
