#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace Tamberlyn::Platform {
class Dialogs;
}

namespace Tamberlyn::Shell {

class FileChecks;

// AskQuit: "Do you want to quit?" over the asking window; anything but No
// deletes the history of this run and ends the viewer.
class QuitQuestion final
{
public:
    QuitQuestion(Platform::Dialogs &dialogs, FileChecks &files, std::function<void()> endVK);

    void AskQuit(QWidget *owner, const QString &dornDir);

private:
    Platform::Dialogs &m_dialogs;
    FileChecks &m_files;
    std::function<void()> m_endVK;
};

} // namespace Tamberlyn::Shell
