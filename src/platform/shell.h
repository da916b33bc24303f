#pragma once

#include <QString>
#include <QStringList>

#include <functional>

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

    // The instance lock's channel. The course that holds the lock answers
    // later starts on it: `show` puts its window on the screen and gives
    // that window's title. Nothing happens in an instance without the lock.
    virtual void answerShowRequests(std::function<QString()> show) = 0;
    struct ShowReply
    {
        enum class Outcome {
            Shown,        // the course showed the window named `title`
            NoAnswer,     // it took the request and said nothing in time: hung, or stopped
            NotListening, // nothing listens on the channel (a course older than the channel)
        };
        Outcome outcome = Outcome::NotListening;
        QString title;
        // The process that holds the lock, 0 when it is not known.
        qint64 holder = 0;
    };
    // A second start asks the course that holds the lock to show itself.
    virtual ShowReply askCourseToShow() = 0;

    // Ends the process at once with `exitCode`: no window's close handling
    // runs. Buffered standard output is flushed; files are closed by the
    // system.
    [[noreturn]] virtual void endProcess(int exitCode) = 0;
};

} // namespace Tamberlyn::Platform
