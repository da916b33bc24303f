#pragma once

#include "launchtarget.h"

#include <QObject>

#include <functional>

class QTimer;

namespace Tamberlyn::Platform {
class Dialogs;
class Shell;
class WindowSystem;
}

namespace Tamberlyn::SimBridge {

class SharedBlocks;

// Launcher mode: writes the circuit path and request code for the
// simulator, brings its window to the front or starts it, waits up to 40
// one-second ticks for its window, and ends the process.
class Launcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Launcher)

public:
    static constexpr int LastTick = 40;

    struct Services
    {
        SharedBlocks &blocks;
        Platform::WindowSystem &windows;
        Platform::Shell &shell;
        Platform::Dialogs &dialogs;
        std::function<void()> endVK; // does not return in the program
    };

    explicit Launcher(Services services, QObject *parent = nullptr);

    void launch(const LaunchTarget &target);
    // TimerCL_Timer / Timer3D_Timer.
    void tick();

    QTimer &timer() { return *m_timer; }
    qint16 ticks() const { return m_ticks; }

private:
    void finish();

    Services m_services;
    LaunchTarget m_target;
    QTimer *m_timer;
    qint16 m_ticks = 0;
};

} // namespace Tamberlyn::SimBridge
