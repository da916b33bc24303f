#include "readingaids.h"

#include "findbar.h"
#include "pagezoom.h"
#include "readingaidkeys.h"
#include "readingaidslog.h"
#include "searchhighlight.h"
#include "zoomsteps.h"

#include "platform/browserpane.h"

#include <QWheelEvent>
#include <QWidget>

namespace Tamberlyn::Reading {

namespace {

int startingZoom(const QString &setting)
{
    const ZoomSetting zoom = zoomFromSetting(setting);
    if (!zoom.problem.isEmpty())
        qCWarning(lcReadingAids).noquote() << "zoom in the settings:" << zoom.problem;
    return zoom.percent;
}

} // namespace

ReadingAids::ReadingAids(Platform::BrowserPane &web1, QWidget &window, const QString &zoomSetting,
                         std::function<bool(int)> storeZoom)
    : QObject(&window)
    , m_web1(web1)
    , m_zoom(new PageZoom(web1, startingZoom(zoomSetting), std::move(storeZoom), this))
    , m_findBar(new FindBar(web1, &window))
    , m_searchWords(new SearchHighlight(web1, this))
{
    // Over the page only: the help image and a video's backdrop cover it.
    m_findBar->lower();
    if (QWidget *page = web1.view())
        page->lower();
    connect(m_findBar, &FindBar::shownOrHidden, this, &ReadingAids::pageAreaChanged);
}

ReadingAids::~ReadingAids() = default;

bool ReadingAids::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    switch (readingAidKey(key, modifiers)) {
    case ReadingAidKey::None:
        return false;
    case ReadingAidKey::ZoomIn:
        m_zoom->zoomIn();
        break;
    case ReadingAidKey::ZoomOut:
        m_zoom->zoomOut();
        break;
    case ReadingAidKey::ZoomReset:
        m_zoom->reset();
        break;
    case ReadingAidKey::OpenFind:
        m_findBar->open();
        break;
    case ReadingAidKey::FindNext:
        m_findBar->findNext();
        break;
    case ReadingAidKey::FindPrevious:
        m_findBar->findPrevious();
        break;
    }
    return true;
}

bool ReadingAids::wheel(const QWidget &target, const QWheelEvent &event)
{
    const QWidget *page = m_web1.view();
    // A sideways turn is no zoom; the page scrolls with it as before.
    if (!(event.modifiers() & Qt::ControlModifier) || event.angleDelta().y() == 0 || !page
        || !(page == &target || page->isAncestorOf(&target)))
        return false;
    m_zoom->wheel(event.angleDelta().y());
    return true;
}

QRect ReadingAids::fitFindBar(const QRect &pageArea)
{
    if (m_findBar->isHidden())
        return pageArea;
    const int barHeight = qMin(FindBar::Height, pageArea.height());
    QRect page = pageArea;
    page.setHeight(pageArea.height() - barHeight);
    m_findBar->setGeometry(pageArea.left(), page.bottom() + 1, pageArea.width(), barHeight);
    return page;
}

void ReadingAids::showSearchWordsOnNextPage(const QString &address, const QStringList &words)
{
    m_searchWords->showOnNextPage(address, words);
}

} // namespace Tamberlyn::Reading
