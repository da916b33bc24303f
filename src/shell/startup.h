#pragma once

#include "folders.h"
#include "runmode.h"
#include "settings.h"
#include "vkstate.h"

#include <functional>

namespace Tamberlyn::Platform {
class Shell;
class WindowSystem;
}
namespace Tamberlyn::SimBridge {
class SimulatorChannel;
}

namespace Tamberlyn::Shell {

class FileChecks;

// Start-up of every instance (Form_Load) and the start of course mode
// (LastBit). Windows and the other run modes are reached through hooks so
// that the order of the steps can be tested without any of them.
class Startup final
{
public:
    struct Services
    {
        Platform::Shell &shell;
        Platform::WindowSystem &windows;
        SimBridge::SimulatorChannel &channel;
        FileChecks &files;
    };

    struct Hooks
    {
        std::function<void(const QString &address)> loadInWeb1;
        std::function<void()> enableTimerEnd;
        std::function<void(const QString &title)> setTitles;
        // EndVK, ending the process with the exit code given.
        std::function<void(int exitCode)> endVK;
        // The course's answer to a later start that cannot find its window:
        // show it, and give its title.
        std::function<QString()> showCourse;
        std::function<void(const QString &commandLine)> runPopup;
        std::function<void(RunMode mode, const QString &commandLine)> runLauncher;
    };

    Startup(VKState &state, const Settings &settings, Services services, Hooks hooks);

    // Steps 1 to 8; gives the run mode it chose.
    RunMode Form_Load();
    void LastBit();

    const Folders &folders() const { return m_folders; }

private:
    void handOver();
    void createDataFolder();

    VKState &m_state;
    const Settings &m_settings;
    Services m_services;
    Hooks m_hooks;
    Folders m_folders;
};

} // namespace Tamberlyn::Shell
