#include "withfile.h"

#include "buttonpicture.h"
#include "withfileaccessible.h"

#include <QKeyEvent>
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
    installWithfileAccessible();
    setAccessibleName(QStringLiteral("Return to text"));
    setAccessibleDescription(QStringLiteral(
        "Brings the course window back to the front. Its menu (the right button) asks whether to quit the course."));
    // The whole window is one button: it takes the focus when it becomes
    // active, but a click does not leave a focus ring on it.
    setFocusPolicy(Qt::TabFocus);
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
    if (hasFocus()) {
        // Where the keyboard is: a dotted ring inside the button's edge.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(5.5, 5.5, -5.5, -5.5), 6, 6);
    }
}

void Withfile::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void Withfile::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

void Withfile::press()
{
    emit returnRequested();
}

void Withfile::openMenu()
{
    emit quitRequested();
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
        press();
}

void Withfile::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Space:
        if (!event->isAutoRepeat() && modifiers == Qt::NoModifier)
            m_pressed->show();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers == Qt::NoModifier)
            press();
        return;
    case Qt::Key_Menu:
        openMenu();
        return;
    case Qt::Key_F10:
        if (modifiers == Qt::ShiftModifier) {
            openMenu();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void Withfile::keyReleaseEvent(QKeyEvent *event)
{
    // As a click: the look goes down with the key, the return comes with
    // its release.
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && m_pressed->isVisible()) {
        press();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

} // namespace Tamberlyn::SimBridge
