#include "bookmarksmodel.h"

#include "bookmarkexport.h"

namespace Tamberlyn::Learner {

QString moduleHeading(const Bookmark &bookmark, const CoursePages &course)
{
    const int module = moduleOfPage(bookmark.page);
    return module > 0 ? course.moduleTitle(module) : QStringLiteral("Other pages");
}

BookmarksModel::BookmarksModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void BookmarksModel::setBookmarks(const QList<Bookmark> &bookmarks, const CoursePages &course)
{
    beginResetModel();
    m_rows = inCourseOrder(bookmarks, course);
    m_modules.clear();
    for (const Bookmark &bookmark : std::as_const(m_rows))
        m_modules << moduleHeading(bookmark, course);
    endResetModel();
}

int BookmarksModel::rowOf(qint64 id) const
{
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).id == id)
            return static_cast<int>(row);
    }
    return -1;
}

int BookmarksModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int BookmarksModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BookmarksModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Bookmark &bookmark = m_rows.at(index.row());
    if (role == IdRole)
        return bookmark.id;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    switch (index.column()) {
    case ModuleColumn:
        return m_modules.at(index.row());
    case PageColumn:
        return bookmark.title.isEmpty() ? bookmark.page : bookmark.title;
    case NoteColumn:
        if (role == Qt::DisplayRole)
            return QString(bookmark.note).replace(QLatin1Char('\n'), QStringLiteral(" / "));
        if (bookmark.note.isEmpty())
            return role == Qt::AccessibleTextRole ? QStringLiteral("no note") : QVariant();
        return bookmark.note;
    case DateColumn:
        return bookmarkDate(bookmark.createdAt);
    default:
        return {};
    }
}

QVariant BookmarksModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ModuleColumn:
        return QStringLiteral("Module");
    case PageColumn:
        return QStringLiteral("Page");
    case NoteColumn:
        return QStringLiteral("Note");
    case DateColumn:
        return QStringLiteral("Date");
    default:
        return {};
    }
}

} // namespace Tamberlyn::Learner
