#include "frmvk.h"

#include "platform/qt/webenginepane.h"
#include "platform/shell.h"
#include "simbridge/simulatorchannel.h"

#include <QTimer>

#include <cstdlib>

namespace Tamberlyn::Shell {

namespace {
constexpr int Web1Top = 24;
}

FrmVK::FrmVK(const Platform::CertificatePins &pins, Platform::Shell &shell,
             SimBridge::SimulatorChannel &channel, QWidget *parent)
    : QWidget(parent)
    , m_pins(pins)
    , m_shell(shell)
    , m_channel(channel)
    , m_timerEnd(new QTimer(this))
{
    setObjectName(QStringLiteral("frmVK"));
    setWindowTitle(QStringLiteral("   Tamberlyn"));
    resize(1280, 800);
    m_timerEnd->setObjectName(QStringLiteral("TimerEnd"));
    m_timerEnd->setInterval(1000);
}

FrmVK::~FrmVK() = default;

Platform::WebEnginePane &FrmVK::web1()
{
    if (!m_web1) {
        m_web1 = new Platform::WebEnginePane(m_pins, this);
        m_web1->setObjectName(QStringLiteral("Web1"));
        m_web1->widget()->setObjectName(QStringLiteral("Web1View"));
        fitWeb1();
        // The window appears with the first page, never empty; a page that
        // failed to load shows the engine's own error page the same way.
        connect(m_web1, &Platform::BrowserPane::documentComplete, this, &FrmVK::showOnFirstPage);
        connect(m_web1, &Platform::WebEnginePane::loadFailed, this, &FrmVK::showOnFirstPage);
    }
    return *m_web1;
}

void FrmVK::EndVK()
{
    m_timerEnd->stop();
    m_channel.release();
    if (m_unloadPopup)
        m_unloadPopup();
    m_shell.endProcess();
    std::abort(); // endProcess does not come back; this keeps the promise if it ever did
}

void FrmVK::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitWeb1();
}

void FrmVK::showOnFirstPage()
{
    if (isHidden())
        showMaximized();
}

void FrmVK::fitWeb1()
{
    if (m_web1)
        m_web1->widget()->setGeometry(0, Web1Top, width(), qMax(0, height() - Web1Top));
}

} // namespace Tamberlyn::Shell
