#include "pagezoom.h"

#include "readingaidslog.h"
#include "zoomsteps.h"

#include "platform/browserpane.h"

namespace Tamberlyn::Reading {

namespace {

constexpr int WheelNotch = 120;

} // namespace

PageZoom::PageZoom(Platform::BrowserPane &pane, int percent, std::function<bool(int)> store, QObject *parent)
    : QObject(parent)
    , m_pane(pane)
    , m_store(std::move(store))
    , m_percent(percent)
{
    // The level from the settings holds from the first page on.
    if (m_percent != DefaultZoom)
        m_pane.setZoomFactor(m_percent / 100.0);
    qCInfo(lcReadingAids).noquote() << QStringLiteral("zoom %1% at start").arg(m_percent);
}

void PageZoom::zoomIn()
{
    setPercent(zoomedIn(m_percent));
}

void PageZoom::zoomOut()
{
    setPercent(zoomedOut(m_percent));
}

void PageZoom::reset()
{
    setPercent(DefaultZoom);
}

void PageZoom::wheel(int angleDelta)
{
    if (angleDelta == 0)
        return;
    // A turn the other way starts afresh rather than undoing half a notch.
    if ((angleDelta > 0) != (m_wheelRest > 0))
        m_wheelRest = 0;
    m_wheelRest += angleDelta;
    while (m_wheelRest >= WheelNotch) {
        m_wheelRest -= WheelNotch;
        zoomIn();
    }
    while (m_wheelRest <= -WheelNotch) {
        m_wheelRest += WheelNotch;
        zoomOut();
    }
}

void PageZoom::setPercent(int percent)
{
    if (percent == m_percent)
        return;
    m_percent = percent;
    m_pane.setZoomFactor(percent / 100.0);
    qCInfo(lcReadingAids).noquote() << QStringLiteral("zoom %1%").arg(percent);
    if (m_store && !m_store(percent))
        qCWarning(lcReadingAids).noquote()
            << QStringLiteral("the settings file did not take the zoom of %1%; it holds until the viewer ends").arg(percent);
}

} // namespace Tamberlyn::Reading
