#pragma once

#include "bookmark.h"
#include "coursepages.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace Tamberlyn::Learner {

// The bookmarks of one module, for the list, the export and the print.
struct BookmarkGroup
{
    int module = 0;   // 0: pages outside the modules (contents, practice)
    QString heading;  // "Module 2 - Safety", or "Other pages"
    QList<Bookmark> bookmarks;
};

// The bookmarks in course order: module by module as the course lists its
// pages, pages outside the modules last; several on one page by date.
QList<Bookmark> inCourseOrder(const QList<Bookmark> &bookmarks, const CoursePages &course);
QList<BookmarkGroup> groupedByModule(const QList<Bookmark> &bookmarks, const CoursePages &course);

// A date as the list and the export show it: local time, "2026-11-02 14:05".
QString bookmarkDate(qint64 msSinceEpoch);

// Everything the learner bookmarked and noted, as a file of their own. The
// page titles and notes are text, never markup: each format escapes them.
// `fileLocn` makes each page a link.
QString bookmarksMarkdown(const QList<BookmarkGroup> &groups, const QString &fileLocn, const QDateTime &exportedAt);
QString bookmarksHtml(const QList<BookmarkGroup> &groups, const QString &fileLocn, const QDateTime &exportedAt);

enum class ExportFormat { Markdown, Html };
// From the file name the learner chose: ".html" or ".htm" give HTML,
// anything else Markdown.
ExportFormat exportFormatFor(const QString &fileName);

} // namespace Tamberlyn::Learner
