#pragma once

#include "finderframe.h"
#include "finderhost.h"
#include "searchindex.h"

#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

namespace Tamberlyn::Finders {

// The full-text search window: one or two words in the entry box, the
// pages that carry them in the list, and a double-click or Enter on one
// opens it in the main window.
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

    QLineEdit &txtInput() const { return *m_txtInput; }
    // ResultFiles: the page of each list entry, in step with the list.
    const QStringList &resultFiles() const { return m_resultFiles; }

protected:
    void fitOwnControls(float innerWidth) override;
    bool enterKey(QWidget *focus) override;

private:
    SearchIndex m_index;
    bool m_tablesLoaded = false;
    QStringList m_resultFiles;
    // The words the list on screen was found for, shown in the page opened.
    QStringList m_resultWords;
    QLineEdit *m_txtInput;
    QPushButton *m_cmdFTS;
    QLabel *m_lblFound;
    // The learner's bookmarks and notes found, below the list (finderhost.h).
    FinderHost::SearchSection m_section;
};

} // namespace Tamberlyn::Finders
