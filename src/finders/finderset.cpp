#include "finderset.h"

#include "finderhost.h"
#include "finderslogging.h"
#include "frmhist.h"
#include "frmindex.h"
#include "frmsearch.h"

#include "platform/dialogs.h"
#include "platform/qt/windowplacement.h"

#include <QApplication>

namespace Tamberlyn::Finders {

using Navigation::Finder;

FinderSet::FinderSet(Services services)
    : m_services(std::move(services))
{
}

FinderSet::~FinderSet() = default;

FrmSearch &FinderSet::frmSearch()
{
    if (!m_search)
        m_search = std::make_unique<FrmSearch>(*this);
    return *m_search;
}

FrmIndex &FinderSet::frmIndex()
{
    if (!m_index)
        m_index = std::make_unique<FrmIndex>(*this);
    return *m_index;
}

FrmHist &FinderSet::frmHist()
{
    if (!m_hist)
        m_hist = std::make_unique<FrmHist>(*this);
    return *m_hist;
}

FinderFrame &FinderSet::window(Finder finder)
{
    switch (finder) {
    case Finder::Search:
        return frmSearch();
    case Finder::Index:
        return frmIndex();
    case Finder::History:
        break;
    }
    return frmHist();
}

FinderFrame *FinderSet::existing(Finder finder) const
{
    switch (finder) {
    case Finder::Search:
        return m_search.get();
    case Finder::Index:
        return m_index.get();
    case Finder::History:
        break;
    }
    return m_hist.get();
}

QString FinderSet::triggerPage(Finder finder)
{
    switch (finder) {
    case Finder::Search:
        return QStringLiteral("search.vxp");
    case Finder::Index:
        return QStringLiteral("index.vxp");
    case Finder::History:
        break;
    }
    return QStringLiteral("hist.vxp");
}

// A loaded search or index window is only shown again; the history list
// is read afresh every time, as pages may have been seen since.
void FinderSet::show(Finder finder)
{
    if (finder == Finder::History)
        frmHist().LoadHist();
    else
        window(finder).Show();
}

void FinderSet::load(Finder finder)
{
    switch (finder) {
    case Finder::Search:
        frmSearch().LoaderUp();
        return;
    case Finder::Index:
        frmIndex().LoadWords();
        return;
    case Finder::History:
        frmHist().LoadHist();
        return;
    }
}

void FinderSet::setWindowState(Finder finder, Qt::WindowStates state)
{
    constexpr Qt::WindowStates placement = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    FinderFrame &target = window(finder);
    target.setWindowState((target.windowState() & ~placement) | (state & placement));
}

bool FinderSet::isNormal(Finder finder) const
{
    // A window not made yet would be made in the normal state.
    const FinderFrame *target = existing(finder);
    return !target || !(target->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

void FinderSet::takePlaceOf(Finder finder, const QWidget &other)
{
    Platform::takePlaceOf(window(finder), other);
}

Navigation::CommandTurns *FinderSet::turns() const
{
    return host().commandTurns();
}

void FinderSet::hideAll()
{
    // The main window's activation, reported late for a main window that a
    // finder window has hidden since, must not leave nothing on screen.
    if (QWidget *main = host().mainWindow(); main && !main->isVisible())
        return;
    for (const Finder finder : {Finder::History, Finder::Index, Finder::Search}) {
        if (FinderFrame *frame = existing(finder))
            frame->hide();
    }
}

QWidget *FinderSet::shownWindow() const
{
    for (const Finder finder : {Finder::Search, Finder::Index, Finder::History}) {
        if (FinderFrame *frame = existing(finder); frame && frame->isVisible())
            return frame;
    }
    return nullptr;
}

void FinderSet::hideAllBut(const FinderFrame &shown)
{
    if (QWidget *main = host().mainWindow())
        main->hide();
    for (const Finder finder : {Finder::History, Finder::Index, Finder::Search}) {
        FinderFrame *frame = existing(finder);
        if (frame && frame != &shown)
            frame->hide();
    }
}

void FinderSet::handPlacementOver(const FinderFrame &from)
{
    constexpr Qt::WindowStates placement = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    for (const Finder finder : {Finder::Search, Finder::Index, Finder::History}) {
        FinderFrame &target = window(finder);
        if (&target == &from)
            continue;
        target.setWindowState((target.windowState() & ~placement) | (from.windowState() & placement));
        Platform::takePlaceOf(target, from);
    }
}

const QPixmap &FinderSet::helpPicture()
{
    // One picture for the three windows.
    if (m_helpPicture.isNull())
        m_helpPicture = QPixmap::fromImage(host().helpImage(qApp->devicePixelRatio()));
    return m_helpPicture;
}

void FinderSet::tell(QWidget *asking, const QList<Tables::TableMessage> &messages)
{
    // A window still hidden cannot carry a box; the main window shows then.
    QWidget *owner = asking && asking->isVisible() ? asking : host().mainWindow();
    for (const Tables::TableMessage message : messages) {
        qCInfo(lcFinders).noquote() << "message:" << Tables::messageText(message);
        m_services.dialogs.ask(owner, {Tables::messageText(message), QStringLiteral("Tamberlyn"),
                                       Platform::Dialogs::Icon::Information, Platform::Dialogs::Buttons::Ok,
                                       std::nullopt});
    }
}

} // namespace Tamberlyn::Finders
