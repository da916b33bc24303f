#include "bookmarksection.h"

#include "bookmarkmatch.h"
#include "bookmarksmodel.h"
#include "learnerlog.h"
#include "learnerrecord.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QStringListModel>
#include <QVBoxLayout>

namespace Tamberlyn::Learner {

namespace {

// Enter in the list opens, as in the Search window's own list.
class SectionList final : public QListView
{
public:
    SectionList(std::function<void()> open, QWidget *parent)
        : QListView(parent)
        , m_open(std::move(open))
    {
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            m_open();
            event->accept();
            return;
        }
        QListView::keyPressEvent(event);
    }

private:
    std::function<void()> m_open;
};

} // namespace

BookmarkSection::BookmarkSection(LearnerRecord &record, std::function<void(const QString &)> openInMain,
                                 QWidget *parent)
    : QWidget(parent)
    , m_record(record)
    , m_openInMain(std::move(openInMain))
    , m_heading(new QLabel(this))
    , m_list(new SectionList([this] { openSelected(); }, this))
    , m_model(new QStringListModel(this))
{
    setObjectName(QStringLiteral("bookmarkSection"));
    setFocusProxy(m_list);
    m_heading->setObjectName(QStringLiteral("lblBookmarksFound"));
    m_heading->setBuddy(m_list);
    m_list->setObjectName(QStringLiteral("lbBookmarksFound"));
    m_list->setModel(m_model);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAccessibleName(QStringLiteral("Your bookmarks and notes found"));
    m_list->setAccessibleDescription(
        QStringLiteral("Your own bookmarks and notes that have the words; Enter or a double-click opens the page."));
    connect(m_list, &QListView::doubleClicked, this, [this] { openSelected(); });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_heading);
    layout->addWidget(m_list, 1);
    connect(&m_record, &LearnerRecord::bookmarksChanged, this, &BookmarkSection::refresh);
    hide();
}

void BookmarkSection::search(const QString &query)
{
    if (query.trimmed().isEmpty())
        return;
    m_query = query;
    refresh();
}

void BookmarkSection::refresh()
{
    const QList<Bookmark> found = m_query.isEmpty() ? QList<Bookmark>() : matchingBookmarks(m_record.bookmarks(), m_query);
    QStringList rows;
    m_ids.clear();
    for (const Bookmark &bookmark : found) {
        QString row = moduleHeading(bookmark, m_record.coursePages()) + QStringLiteral(" \u00b7 ")
                      + (bookmark.title.isEmpty() ? bookmark.page : bookmark.title);
        if (!bookmark.note.isEmpty())
            row += QStringLiteral(" \u2014 ") + QString(bookmark.note).replace(QLatin1Char('\n'), QLatin1Char(' '));
        rows << row;
        m_ids << bookmark.id;
    }
    m_model->setStringList(rows);
    m_heading->setText(QStringLiteral("Your bookmarks and notes:  %1 found").arg(found.size()));
    setVisible(!found.isEmpty());
    if (!m_query.isEmpty())
        qCInfo(lcLearner).noquote() << "bookmarks found for" << m_query << ":" << found.size();
}

QStringList BookmarkSection::entries() const
{
    return m_model->stringList();
}

void BookmarkSection::openSelected()
{
    const QModelIndex index = m_list->currentIndex();
    if (!index.isValid() || index.row() >= m_ids.size() || !m_list->selectionModel()->isSelected(index))
        return;
    const QString page = m_record.prepareBookmark(m_ids.at(index.row()));
    if (!page.isEmpty() && m_openInMain)
        m_openInMain(page);
}

} // namespace Tamberlyn::Learner
