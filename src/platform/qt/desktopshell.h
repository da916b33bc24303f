#pragma once

#include "platform/posix/flockinstancelock.h"
#include "platform/shell.h"

#include <optional>

namespace Tamberlyn::Platform {

class DesktopShell final : public Shell
{
    Q_DISABLE_COPY_MOVE(DesktopShell)

public:
    DesktopShell() = default;

    QString environmentValue(const QString &name) const override;
    QString commandLine() const override;
    bool openInBrowser(const QString &address) override;
    bool startProgram(const QString &program, const QStringList &arguments) override;
    bool anotherInstanceRunning(const QString &lockFolder) override;
    [[noreturn]] void endProcess() override;

private:
    FlockInstanceLock m_lock;
    std::optional<bool> m_anotherRunning;
};

} // namespace Tamberlyn::Platform
