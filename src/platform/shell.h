#pragma once

#include <QString>
#include <QStringList>

namespace Tamberlyn::Platform {

// Process-level services: environment, command line, the default browser
// and the running-instance test.
class Shell
{
public:
    virtual ~Shell() = default;

    // Value of an environment variable; empty when unset.
    virtual QString environmentValue(const QString &name) const = 0;
    // The arguments after the program name, joined by single spaces the way
    // one command-line string reads.
    virtual QString commandLine() const = 0;
    virtual bool openInBrowser(const QString &address) = 0;
    // Starts a program and does not wait for it; false when it could not start.
    virtual bool startProgram(const QString &program, const QStringList &arguments) = 0;
    // True when another viewer process of this user already runs. The first
    // call takes the instance lock; later calls repeat the first answer.
    virtual bool anotherInstanceRunning(const QString &lockFolder) = 0;
    // Ends the process at once: no window's close handling runs. Buffered
    // standard output is flushed; files are closed by the system.
    [[noreturn]] virtual void endProcess() = 0;
};

} // namespace Tamberlyn::Platform
