#pragma once

#include "searchsuggestions.h"

#include <QWidget>

class QLabel;
class QListView;
class QStringListModel;

namespace Tamberlyn::Finders {

// What the Search window shows in the place of its empty result list when
// a search found nothing: a line that says so, and the closest searches
// that do find pages, best first, each with its page count. A single click
// or Enter on one runs it; a screen reader reads the line as the list's
// description and each entry as it is.
class SuggestionList final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SuggestionList)

public:
    explicit SuggestionList(QWidget *parent);
    ~SuggestionList() override;

    void setAdvice(const QString &headline, const QList<SuggestedSearch> &suggestions);

    QString headline() const;
    // The entries as listed, best first.
    QStringList entries() const;
    QListView *list() const { return m_list; }

    // Enter on the list: runs the entry with the keyboard's focus ring, the
    // best one when the keyboard has not moved. False when there is none.
    bool chooseCurrent();

signals:
    // The learner chose this search.
    void chosen(const QString &query);

private:
    void choose(int row);

    QLabel *m_headline;
    QListView *m_list;
    QStringListModel *m_model;
    QList<SuggestedSearch> m_suggestions;
};

} // namespace Tamberlyn::Finders
