#pragma once

#include <QString>
#include <QtGlobal>

namespace Tamberlyn::Platform {

// Tells a first viewer instance from a second one. The first takes an
// exclusive advisory lock on a file and holds it until the process ends; the
// kernel drops the lock with the process, so an instance that crashed leaves
// nothing behind that could turn the next first instance into a second.
class FlockInstanceLock final
{
    Q_DISABLE_COPY_MOVE(FlockInstanceLock)

public:
    enum class Outcome { Acquired, HeldByAnother, Unavailable };

    FlockInstanceLock() = default;
    ~FlockInstanceLock();

    // Tries once. Unavailable means the lock file could not be opened (for
    // instance an unwritable folder); callers treat that as "no other
    // instance" so a broken data folder never stops the course.
    // Once acquired, the file holds the holder's process number, so that a
    // later start can name the process it waits for.
    Outcome tryAcquire(const QString &lockFilePath);
    QString errorString() const { return m_error; }

    // The process number the lock file names; 0 when it names none.
    static qint64 holderOf(const QString &lockFilePath);

private:
    int m_fd = -1;
    QString m_error;
};

} // namespace Tamberlyn::Platform
