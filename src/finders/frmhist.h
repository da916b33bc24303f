#pragma once

#include "finderframe.h"

#include "history/historyitem.h"

#include <QList>

namespace Tamberlyn::Finders {

// The History window: the titles of the pages seen, oldest first; choosing
// one opens it again in the main window.
class FrmHist final : public FinderFrame
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmHist)

public:
    explicit FrmHist(FinderSet &set);
    ~FrmHist() override;

    // Reads the list afresh from the history file and "files.vxp", then
    // shows the window.
    void LoadHist();
    void lbResults_DblClick() override;
    FinderPrintout printout() const override;

    // HistPages: the page each list item opens, in step with the list.
    const QList<History::HistoryItem> &HistPages() const { return m_histPages; }

private:
    QList<History::HistoryItem> m_histPages;
};

} // namespace Tamberlyn::Finders
