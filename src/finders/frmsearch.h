#pragma once

#include "finderframe.h"
#include "searchindex.h"
#include "searchsuggestions.h"

#include <QElapsedTimer>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

namespace Tamberlyn::Finders {

class SuggestionList;

// The full-text search window: one or two words in the entry box, the
// pages that carry them in the list, and a double-click or Enter on one
// opens it in the main window. Words after the second are named beside the
// count as left out; a search that finds nothing offers the closest
// searches that do find pages in the list's place.
class FrmSearch final : public FinderFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmSearch)

public:
    explicit FrmSearch(FinderSet &set);
    ~FrmSearch() override;

    // Loads the tables the first time, then shows the window.
    void LoaderUp();
    // LoaderUp's loading alone; the index window's choice needs the tables
    // before the search window is ever shown.
    void loadTables();
    bool tablesLoaded() const { return m_tablesLoaded; }

    // Searches for the entry box text; a text of spaces only keeps the
    // list, ResultFiles and the count as they are.
    void cmdFTS_Click();
    void lbResults_DblClick() override;
    FinderPrintout printout() const override;

    QLineEdit &txtInput() const { return *m_txtInput; }
    // ResultFiles: the page of each list entry, in step with the list.
    const QStringList &resultFiles() const { return m_resultFiles; }
    SuggestionList &suggestions() const { return *m_suggestionList; }

protected:
    void fitOwnControls(float innerWidth) override;
    bool enterKey(QWidget *focus) override;

private:
    void showAdvice(const SearchResult &result);
    void runSuggestion(const QString &query);

    SearchIndex m_index;
    SearchSuggestions m_suggestions;
    bool m_tablesLoaded = false;
    QStringList m_resultFiles;
    // The words the list on screen was found for, shown in the page opened.
    QStringList m_resultWords;
    QLineEdit *m_txtInput;
    QPushButton *m_cmdFTS;
    QLabel *m_lblFound;
    QLabel *m_lblLeftOut;
    SuggestionList *m_suggestionList;
    // When a suggestion last ran: the second click of a learner's
    // double-click lands on the results that replaced it.
    QElapsedTimer m_suggestionRun;
};

} // namespace Tamberlyn::Finders
