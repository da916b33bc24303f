#include "suggestionlist.h"

#include "findertexts.h"

#include <QLabel>
#include <QListView>
#include <QStringListModel>
#include <QVBoxLayout>

namespace Tamberlyn::Finders {

SuggestionList::SuggestionList(QWidget *parent)
    : QWidget(parent)
    , m_headline(new QLabel(this))
    , m_list(new QListView(this))
    , m_model(new QStringListModel(this))
{
    setObjectName(QStringLiteral("suggestions"));
    m_headline->setObjectName(QStringLiteral("lblNothingFound"));
    m_headline->setWordWrap(true);
    m_headline->setTextFormat(Qt::PlainText);
    m_headline->setBuddy(m_list);

    m_list->setObjectName(QStringLiteral("lbSuggestions"));
    m_list->setModel(m_model);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);
    // One click runs a suggestion, unlike a result, which takes two: say so
    // with the pointer.
    m_list->viewport()->setCursor(Qt::PointingHandCursor);
    m_list->setAccessibleName(QStringLiteral("Suggested searches"));
    m_list->setAccessibleDescription(
        QStringLiteral("Searches close to the one that found nothing; a click or Enter runs one."));
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex &index) { choose(index.row()); });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(m_headline);
    layout->addWidget(m_list, 1);
}

SuggestionList::~SuggestionList() = default;

void SuggestionList::setAdvice(const QString &headline, const QList<SuggestedSearch> &suggestions)
{
    m_suggestions = suggestions;
    m_headline->setText(headline);
    QStringList entries;
    for (const SuggestedSearch &suggestion : suggestions)
        entries.append(suggestionEntry(suggestion.query, suggestion.pages));
    m_model->setStringList(entries);
    m_list->setVisible(!entries.isEmpty());
    // Read with the list's name: why it is there, and what a choice does.
    m_list->setAccessibleDescription(headline);
    // The best one is where Enter goes until the arrows move on.
    if (!entries.isEmpty())
        m_list->setCurrentIndex(m_model->index(0, 0));
}

QString SuggestionList::headline() const
{
    return m_headline->text();
}

QStringList SuggestionList::entries() const
{
    return m_model->stringList();
}

bool SuggestionList::chooseCurrent()
{
    if (m_suggestions.isEmpty())
        return false;
    const QModelIndex current = m_list->currentIndex();
    choose(current.isValid() ? current.row() : 0);
    return true;
}

void SuggestionList::choose(int row)
{
    if (row >= 0 && row < m_suggestions.size())
        emit chosen(m_suggestions.at(row).query);
}

} // namespace Tamberlyn::Finders
