#pragma once

#include "platform/posix/flockinstancelock.h"
#include "platform/qt/instancechannel.h"
#include "platform/shell.h"

#include <optional>

namespace Tamberlyn::Platform {

class DesktopShell final : public Shell
{
    Q_DISABLE_COPY_MOVE(DesktopShell)

public:
    DesktopShell() = default;
    ~DesktopShell() override;

    QString environmentValue(const QString &name) const override;
    QString commandLine() const override;
    bool openInBrowser(const QString &address) override;
    bool startProgram(const QString &program, const QStringList &arguments) override;
    bool anotherInstanceRunning(const QString &lockFolder) override;
    void answerShowRequests(std::function<QString()> show) override;
    ShowReply askCourseToShow() override;
    [[noreturn]] void endProcess(int exitCode) override;

private:
    FlockInstanceLock m_lock;
    std::optional<bool> m_anotherRunning;
    bool m_holdsLock = false;
    QString m_lockFolder;
    InstanceChannel *m_channel = nullptr;
};

} // namespace Tamberlyn::Platform
