#pragma once

#include "bookmark.h"
#include "coursepages.h"

#include <QAbstractTableModel>

namespace Tamberlyn::Learner {

// The Bookmarks list's rows in course order: module, page title, note and
// date of each bookmark. A row's bookmark id is its Qt::UserRole.
class BookmarksModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BookmarksModel)

public:
    enum Column { ModuleColumn, PageColumn, NoteColumn, DateColumn, ColumnCount };
    static constexpr int IdRole = Qt::UserRole;

    explicit BookmarksModel(QObject *parent = nullptr);

    void setBookmarks(const QList<Bookmark> &bookmarks, const CoursePages &course);
    // The row of a bookmark; -1 when it is not listed.
    int rowOf(qint64 id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<Bookmark> m_rows;
    QStringList m_modules;
};

// How a bookmark's module reads: "Module 2 - Safety", or "Other pages".
QString moduleHeading(const Bookmark &bookmark, const CoursePages &course);

} // namespace Tamberlyn::Learner
