#include "noticecolours.h"

#include "palettelightness.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace Tamberlyn::Platform {

namespace {

class NoticeColours final : public QObject
{
public:
    NoticeColours(QWidget &bar, QColor ground, QColor ink)
        : QObject(&bar)
        , m_bar(&bar)
        , m_ground(ground)
        , m_ink(ink)
    {
        bar.setAutoFillBackground(true);
        take();
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Qt tells the application of a new palette, not each widget that
        // set colours of its own.
        if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
            take();
        return false;
    }

private:
    void take()
    {
        if (!m_bar)
            return;
        const QPalette frame = QApplication::palette();
        const bool lightFrame = isLightPalette(frame);
        QPalette colours = m_bar->palette();
        colours.setColor(QPalette::Window, lightFrame ? m_ground : frame.color(QPalette::ToolTipBase));
        colours.setColor(QPalette::WindowText, lightFrame ? m_ink : frame.color(QPalette::ToolTipText));
        m_bar->setPalette(colours);
    }

    QPointer<QWidget> m_bar;
    QColor m_ground;
    QColor m_ink;
};

} // namespace

void followNoticeColours(QWidget &bar, QColor ground, QColor ink)
{
    new NoticeColours(bar, ground, ink);
}

} // namespace Tamberlyn::Platform
