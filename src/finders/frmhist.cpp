#include "frmhist.h"

#include "finderfiles.h"
#include "finderhost.h"
#include "finderset.h"
#include "finderslogging.h"

#include "history/historyloader.h"
#include "history/historylog.h"
#include "tables/tablefiles.h"

#include <QListView>

namespace Tamberlyn::Finders {

FrmHist::FrmHist(FinderSet &set)
    : FinderFrame(set, Navigation::Finder::History, EscapeKey::HidesHelp, {24, 32, 681, 238})
{
    lbResults()->setAccessibleName(QStringLiteral("Pages seen"));
    lbResults()->setAccessibleDescription(
        QStringLiteral("The titles of the pages seen, oldest first; Enter or a double-click opens the selected page."));
    orderControls({lbResults()});
}

FrmHist::~FrmHist() = default;

void FrmHist::LoadHist()
{
    const FinderHost &host = finders().host();
    History::HistoryLoad load =
        History::HistoryLoader(finders().reader())
            .LoadHist(History::HistoryLog(host.dornDir()).filePath(), Tables::filesFilePath(host.programFolder()));
    finders().tell(this, load.messages);
    // The list is rebuilt whole every time, the raw lines of a history
    // without its page table included: a second visit never doubles it.
    QStringList texts;
    texts.reserve(load.items.size());
    for (const History::HistoryItem &item : std::as_const(load.items))
        texts << item.text;
    m_histPages = std::move(load.items);
    setResults(texts);
    Show();
}

void FrmHist::lbResults_DblClick()
{
    const qsizetype row = selectedRow();
    if (row < 0 || row >= m_histPages.size())
        return;
    const QString page = m_histPages.at(row).pageToOpen();
    qCInfo(lcFinders).noquote() << "history item" << row + 1 << "opens" << page;
    OpenInMain(page);
}

FinderPrintout FrmHist::printout() const
{
    return {QStringLiteral("Tamberlyn history"), windowTitle(), {QStringLiteral("The pages seen, oldest first.")},
            QString(), resultTexts()};
}

} // namespace Tamberlyn::Finders
