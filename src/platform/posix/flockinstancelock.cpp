#include "flockinstancelock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Tamberlyn::Platform {

FlockInstanceLock::~FlockInstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FlockInstanceLock::Outcome FlockInstanceLock::tryAcquire(const QString &lockFilePath)
{
    if (m_fd >= 0)
        return Outcome::Acquired;

    const QByteArray path = QFile::encodeName(lockFilePath);
    // O_CLOEXEC: programs we start (the browser engine's helpers, simulators,
    // the calculator) must not inherit the lock and keep it alive after us.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return Outcome::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_fd = fd;
        // Only a help for the learner's messages: a failure here changes
        // nothing about who holds the lock.
        const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) != pid.size())
            m_error = QString::fromLocal8Bit(std::strerror(errno));
        return Outcome::Acquired;
    }
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK)
        return Outcome::HeldByAnother;
    m_error = QString::fromLocal8Bit(std::strerror(err));
    return Outcome::Unavailable;
}

qint64 FlockInstanceLock::holderOf(const QString &lockFilePath)
{
    // Opened as the lock is, and never waiting: whatever lies at that path
    // is only read, a few bytes of it.
    const QByteArray path = QFile::encodeName(lockFilePath);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return 0;
    char text[24] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0)
        return 0;
    // A process number and a line break; anything else names nobody.
    bool number = false;
    const qint64 pid = QByteArray(text, got).trimmed().toLongLong(&number);
    return number && pid > 0 ? pid : 0;
}

} // namespace Tamberlyn::Platform
