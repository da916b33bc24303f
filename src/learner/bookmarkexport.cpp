#include "bookmarkexport.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace Tamberlyn::Learner {

namespace {

const QString Heading = QStringLiteral("Tamberlyn bookmarks and notes");

int groupOrder(int module, const CoursePages &course)
{
    const auto at = course.modules().indexOf(module);
    return at >= 0 ? static_cast<int>(at) : (module > 0 ? 100000 + module : 1000000);
}

QString pageAddress(const QString &fileLocn, const QString &page)
{
    return QUrl(fileLocn).resolved(QUrl(page)).toString(QUrl::FullyEncoded);
}

// Markdown: the characters that could start markup anywhere in a line are
// escaped, and a line that would begin a list or a quote; the rest is left
// as written, so the file still reads well as plain text.
QString markdownText(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool entity = c == QLatin1Char('&') && i + 1 < text.size()
                            && (text.at(i + 1).isLetter() || text.at(i + 1) == QLatin1Char('#'));
        if (QStringLiteral("\\`*_[]<>#|~").contains(c) || entity)
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    // A line that would start a list: the marker gets its backslash.
    static const QRegularExpression listStart(QStringLiteral("^\\s*(?:[-+]|\\d+[.)])(?:\\s|$)"));
    if (const QRegularExpressionMatch match = listStart.match(escaped); match.hasMatch()) {
        qsizetype marker = match.capturedEnd() - 1;
        if (escaped.at(marker).isSpace())
            --marker;
        escaped.insert(marker, QLatin1Char('\\'));
    }
    return escaped;
}

QString noteAsQuote(const QString &note)
{
    QStringList lines;
    for (const QString &line : note.split(QLatin1Char('\n')))
        lines << QStringLiteral("> ") + markdownText(line.trimmed());
    return lines.join(QLatin1Char('\n'));
}

QString bookmarkTitle(const Bookmark &bookmark)
{
    return bookmark.title.trimmed().isEmpty() ? bookmark.page : bookmark.title.trimmed();
}

} // namespace

QList<Bookmark> inCourseOrder(const QList<Bookmark> &bookmarks, const CoursePages &course)
{
    QList<Bookmark> sorted = bookmarks;
    const auto key = [&course](const Bookmark &b) {
        const int module = moduleOfPage(b.page);
        const int order = course.orderOf(b.page);
        return std::make_tuple(groupOrder(module, course), order < 0 ? 1000000 : order, b.page, b.createdAt, b.id);
    };
    std::stable_sort(sorted.begin(), sorted.end(), [&key](const Bookmark &a, const Bookmark &b) { return key(a) < key(b); });
    return sorted;
}

QList<BookmarkGroup> groupedByModule(const QList<Bookmark> &bookmarks, const CoursePages &course)
{
    QList<BookmarkGroup> groups;
    for (const Bookmark &bookmark : inCourseOrder(bookmarks, course)) {
        const int module = moduleOfPage(bookmark.page);
        if (groups.isEmpty() || groups.constLast().module != module) {
            groups.append({module, module > 0 ? course.moduleTitle(module) : QStringLiteral("Other pages"), {}});
        }
        groups.last().bookmarks.append(bookmark);
    }
    return groups;
}

QString bookmarkDate(qint64 msSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString bookmarksMarkdown(const QList<BookmarkGroup> &groups, const QString &fileLocn, const QDateTime &exportedAt)
{
    QStringList out;
    out << QStringLiteral("# ") + Heading << QString();
    out << QStringLiteral("Course: <%1>  ").arg(fileLocn);
    out << QStringLiteral("Exported: %1").arg(bookmarkDate(exportedAt.toMSecsSinceEpoch())) << QString();
    if (groups.isEmpty())
        out << QStringLiteral("No bookmarks yet.") << QString();
    for (const BookmarkGroup &group : groups) {
        out << QStringLiteral("## ") + markdownText(group.heading) << QString();
        for (const Bookmark &bookmark : group.bookmarks) {
            out << QStringLiteral("### [%1](<%2>)").arg(markdownText(bookmarkTitle(bookmark)),
                                                      pageAddress(fileLocn, bookmark.page))
                << QString();
            out << QStringLiteral("Bookmarked %1").arg(bookmarkDate(bookmark.createdAt)) << QString();
            if (!bookmark.note.trimmed().isEmpty())
                out << noteAsQuote(bookmark.note.trimmed()) << QString();
        }
    }
    return out.join(QLatin1Char('\n'));
}

QString bookmarksHtml(const QList<BookmarkGroup> &groups, const QString &fileLocn, const QDateTime &exportedAt)
{
    QString html;
    html += QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>")
            + Heading.toHtmlEscaped() + QStringLiteral("</title>\n</head>\n<body>\n<h1>") + Heading.toHtmlEscaped()
            + QStringLiteral("</h1>\n");
    html += QStringLiteral("<p>Course: <a href=\"%1\">%2</a><br>Exported: %3</p>\n")
                .arg(fileLocn.toHtmlEscaped(), fileLocn.toHtmlEscaped(),
                     bookmarkDate(exportedAt.toMSecsSinceEpoch()));
    if (groups.isEmpty())
        html += QStringLiteral("<p>No bookmarks yet.</p>\n");
    for (const BookmarkGroup &group : groups) {
        html += QStringLiteral("<h2>") + group.heading.toHtmlEscaped() + QStringLiteral("</h2>\n");
        for (const Bookmark &bookmark : group.bookmarks) {
            html += QStringLiteral("<h3><a href=\"%1\">%2</a></h3>\n<p>Bookmarked %3</p>\n")
                        .arg(pageAddress(fileLocn, bookmark.page).toHtmlEscaped(),
                             bookmarkTitle(bookmark).toHtmlEscaped(), bookmarkDate(bookmark.createdAt));
            if (!bookmark.note.trimmed().isEmpty()) {
                QString note = bookmark.note.trimmed().toHtmlEscaped();
                note.replace(QLatin1Char('\n'), QLatin1String("<br>\n"));
                html += QStringLiteral("<blockquote><p>") + note + QStringLiteral("</p></blockquote>\n");
            }
        }
    }
    html += QStringLiteral("</body>\n</html>\n");
    return html;
}

ExportFormat exportFormatFor(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".html"), Qt::CaseInsensitive)
                   || fileName.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive)
               ? ExportFormat::Html
               : ExportFormat::Markdown;
}

} // namespace Tamberlyn::Learner
