#include "launcher.h"

#include "sharedblocks.h"
#include "simbridgelog.h"

#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/windowsystem.h"

#include <QTimer>

namespace Tamberlyn::SimBridge {

Launcher::Launcher(Services services, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &Launcher::tick);
}

void Launcher::launch(const LaunchTarget &target)
{
    m_target = target;
    m_timer->setObjectName(target.simulator == Simulator::Orvanix ? QStringLiteral("TimerCL")
                                                                  : QStringLiteral("Timer3D"));
    // Both blocks are filled before the simulator is woken or started, so
    // it finds its request when it looks.
    m_services.blocks.writeCircuitPath(pathImage(target.circuitPath));
    if (target.requestCode)
        m_services.blocks.writeRequestCode(*target.requestCode);

    if (m_services.windows.bringToFront(target.windowTitle)) {
        finish();
        return;
    }
    if (!m_services.shell.startProgram(target.program, {}))
        qCWarning(lcSimBridge).noquote() << "could not start" << target.program;
    m_timer->start();
}

void Launcher::tick()
{
    ++m_ticks;
    if (m_ticks > LastTick) {
        m_timer->stop();
        m_services.dialogs.ask(nullptr, {m_target.notFoundMessage, QStringLiteral("Tamberlyn"),
                                         Platform::Dialogs::Icon::Information, Platform::Dialogs::Buttons::Ok,
                                         std::nullopt});
        finish();
        return;
    }
    if (m_services.windows.bringToFront(m_target.windowTitle))
        finish();
}

void Launcher::finish()
{
    m_timer->stop();
    m_services.endVK();
}

} // namespace Tamberlyn::SimBridge
