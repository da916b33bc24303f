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
        return Outcome::Acquired;
    }
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK)
        return Outcome::HeldByAnother;
    m_error = QString::fromLocal8Bit(std::strerror(err));
    return Outcome::Unavailable;
}

} // namespace Tamberlyn::Platform
