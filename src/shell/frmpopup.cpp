#include "frmpopup.h"

#include "platform/browserpane.h"
#include "platform/qt/accessiblewindow.h"
#include "platform/windowsystem.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace Tamberlyn::Shell {

FrmPopup::FrmPopup(PaneFactory paneFactory, Platform::WindowSystem &windows, std::function<void()> endVK)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_windows(windows)
    , m_endVK(std::move(endVK))
    , m_web2(paneFactory(this))
    , m_timerPop(new QTimer(this))
{
    setObjectName(QStringLiteral("frmPopup"));
    setWindowTitle(QString());
    // The title stays empty, so the window needs a name of its own.
    Platform::reportAsAccessibleWindow(staticMetaObject);
    setAccessibleName(QStringLiteral("Picture pop-up"));
    setAccessibleDescription(
        QStringLiteral("A picture of the course next to the pointer; any key or a press of the left button closes it."));
    // A single-line border around the page: black around white in the
    // light look, the text colour around the page ground in the others.
    setStyleSheet(QStringLiteral("#frmPopup { background: palette(base); border: 1px solid palette(window-text); }"));
    setAttribute(Qt::WA_StyledBackground);
    m_web2->setObjectName(QStringLiteral("Web2"));
    if (QWidget *view = m_web2->view()) {
        view->setAccessibleName(QStringLiteral("Picture"));
        view->setAccessibleDescription(QStringLiteral("The course file shown in the pop-up."));
    }
    m_timerPop->setObjectName(QStringLiteral("TimerPop"));
    m_timerPop->setInterval(50);
    connect(m_timerPop, &QTimer::timeout, this, &FrmPopup::TimerPop_Timer);
    qApp->installEventFilter(this);
}

FrmPopup::~FrmPopup() = default;

void FrmPopup::showPopup(const QString &fileLocn, const PopupCommand &command)
{
    m_address = fileLocn + command.popFile;
    m_web2->navigate(m_address);
    const QRect place = popupPixels({command.width, command.height}, m_windows.pointer().position,
                                    m_windows.screenSize());
    if (QWidget *view = m_web2->view())
        view->setGeometry(0, 0, place.width(), place.height());
    setGeometry(place);
    raise();
    QCoreApplication::processEvents();
    show();
    raise();
    activateWindow();
    m_timerPop->start();
}

void FrmPopup::TimerPop_Timer()
{
    if (m_windows.pointer().leftButtonDown) {
        m_timerPop->stop();
        m_endVK();
    }
}

void FrmPopup::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void FrmPopup::Form_Activate()
{
    // Each time the window becomes active it shows the file afresh.
    QCoreApplication::processEvents();
    if (!m_address.isEmpty())
        m_web2->navigate(m_address);
}

void FrmPopup::Form_KeyDown()
{
    m_timerPop->stop();
    m_endVK();
}

bool FrmPopup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (widget && widget->window() == this) {
        Form_KeyDown();
        return true;
    }
    return false;
}

} // namespace Tamberlyn::Shell
