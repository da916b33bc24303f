#pragma once

#include <QList>
#include <QWidget>

#include <functional>

class QLabel;
class QListView;
class QStringListModel;

namespace Tamberlyn::Learner {

class LearnerRecord;

// The Search window's extra section: the learner's own bookmarks and notes
// that the searched words find (bookmarkmatch.h), listed apart from the
// course's pages. It shows only while something matches. Enter or a
// double-click opens the page at the bookmark's spot, through `openInMain`
// (the Search window's own way of opening a page in the course window).
class BookmarkSection final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BookmarkSection)

public:
    BookmarkSection(LearnerRecord &record, std::function<void(const QString &page)> openInMain, QWidget *parent);

    // The Search window searched for `query`. Spaces only keep what is listed.
    void search(const QString &query);
    QListView *list() const { return m_list; }
    QStringList entries() const;
    void openSelected();

private:
    void refresh();

    LearnerRecord &m_record;
    std::function<void(const QString &)> m_openInMain;
    QLabel *m_heading;
    QListView *m_list;
    QStringListModel *m_model;
    QString m_query;
    QList<qint64> m_ids;
};

} // namespace Tamberlyn::Learner
