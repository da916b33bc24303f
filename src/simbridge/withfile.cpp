#include "withfile.h"

#include "buttonpicture.h"

#include <QMouseEvent>
#include <QPainter>

namespace Tamberlyn::SimBridge {

namespace {

// The pressed look, laid over the window while the left button is held.
class PressedPicture final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        paintReturnButton(painter, rect(), true);
    }
};

} // namespace

Withfile::Withfile(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_pressed(new PressedPicture(this))
{
    setObjectName(QStringLiteral("withfile"));
    setWindowTitle(QStringLiteral("RETURN TO TEXT"));
    setFixedSize(Size);
    setAttribute(Qt::WA_DeleteOnClose);
    m_pressed->setObjectName(QStringLiteral("picRud29"));
    m_pressed->setGeometry(rect());
    // Clicks on the pressed picture are the window's clicks.
    m_pressed->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pressed->hide();
}

void Withfile::placeAndShow(int screenWidth)
{
    move(screenWidth - OffsetFromRight, 0);
    show();
}

void Withfile::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintReturnButton(painter, rect(), false);
}

void Withfile::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed->show();
    else if (event->button() == Qt::RightButton)
        emit quitRequested();
}

void Withfile::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit returnRequested();
}

} // namespace Tamberlyn::SimBridge
