#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

namespace Tamberlyn::Platform {
class Dialogs;
class WindowSystem;
}

namespace Tamberlyn::SimBridge {

class SharedBlocks;
class Withfile;

// The course window's watch over the path block (TimerEnd's tick) and the
// companion window it shows while a simulation is open.
class CompanionWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CompanionWatch)

public:
    struct Services
    {
        SharedBlocks &blocks;
        Platform::WindowSystem &windows;
        Platform::Dialogs &dialogs;
        std::function<void()> endVK; // does not return in the program
    };

    explicit CompanionWatch(Services services, QObject *parent = nullptr);
    ~CompanionWatch() override;

    void TimerEnd_Timer();
    Withfile *companion() const;

private:
    void load();
    void unload();
    void returnToText();
    void askQuit();

    Services m_services;
    QPointer<Withfile> m_withfile;
};

} // namespace Tamberlyn::SimBridge
