#include "lookswitch.h"

#include "pagelook.h"
#include "readingaidslog.h"

#include "platform/browserpane.h"

namespace Tamberlyn::Reading {

LookSwitch::LookSwitch(const StartingLook &start, std::function<bool(Look)> store, QObject *parent)
    : QObject(parent)
    , m_look(start.look)
    , m_store(std::move(store))
{
    if (!start.problem.isEmpty())
        qCWarning(lcReadingAids).noquote() << "look in the settings:" << start.problem;
    qCInfo(lcReadingAids).noquote() << QStringLiteral("look %1 at start, from %2").arg(lookName(m_look), start.reason);
    m_frame.apply(m_look);
}

LookSwitch::~LookSwitch() = default;

PageLook &LookSwitch::attach(Platform::BrowserPane &pane)
{
    auto *page = new PageLook(pane, m_look, &pane);
    m_pages.removeAll(nullptr);
    m_pages << page;
    return *page;
}

void LookSwitch::choose(Look look)
{
    if (look == m_look)
        return;
    m_look = look;
    m_frame.apply(look);
    for (const QPointer<PageLook> &page : std::as_const(m_pages)) {
        if (page)
            page->show(look);
    }
    if (m_store && !m_store(look))
        qCWarning(lcReadingAids).noquote() << "the look could not be kept for the next start";
    qCInfo(lcReadingAids).noquote() << "look chosen:" << lookName(look);
    emit changed(look);
}

void LookSwitch::cycle()
{
    choose(nextLook(m_look));
}

} // namespace Tamberlyn::Reading
