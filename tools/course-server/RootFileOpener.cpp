#include "RootFileOpener.h"

#include "ServerLogging.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Read-only; O_NONBLOCK so a FIFO opens at once instead of waiting for a
// writer, O_NOCTTY so a terminal never becomes ours.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Debian 12's glibc has no wrapper for openat2.
int openat2Beneath(int directoryFd, const char *path, int flags)
{
    open_how how = {};
    how.flags = static_cast<quint64>(flags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    for (int attempt = 0;; ++attempt) {
        const long fd = ::syscall(SYS_openat2, directoryFd, path, &how, sizeof how);
        // EAGAIN: the kernel saw a rename race it could not rule out; it
        // asks for a retry.
        if (fd >= 0 || (errno != EINTR && !(errno == EAGAIN && attempt < 3)))
            return static_cast<int>(fd);
    }
}

int openatRetrying(int directoryFd, const char *name, int flags)
{
    int fd;
    do {
        fd = ::openat(directoryFd, name, flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

RootFileOpener::Opened failed(int error)
{
    return {Tamberlyn::Platform::UniqueFd(), error};
}

// The result of an open call, read straight after it while errno is fresh.
RootFileOpener::Opened opened(int fd)
{
    return {Tamberlyn::Platform::UniqueFd(fd), fd < 0 ? errno : 0};
}

} // namespace

RootFileOpener::RootFileOpener(Method method)
    : m_method(method)
{
}

bool RootFileOpener::openRoot(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        m_error = QStringLiteral("cannot open root folder %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_root.reset(fd);

    m_kernelChecked = false;
    if (m_method == Method::Automatic) {
        // Older kernels lack the call (ENOSYS); some sandboxes filter it
        // (EPERM). Either way the walk below does the same job.
        const Tamberlyn::Platform::UniqueFd probe(openat2Beneath(m_root.get(), ".", O_PATH | O_CLOEXEC));
        m_kernelChecked = probe.isValid();
        if (!m_kernelChecked) {
            qCInfo(lcServer).noquote() << QStringLiteral("openat2 is not available (%1): paths are opened one name at a time")
                                              .arg(QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    return true;
}

RootFileOpener::Opened RootFileOpener::open(const QStringList &names) const
{
    return openBelow(m_root.get(), names);
}

RootFileOpener::Opened RootFileOpener::openIn(int directoryFd, const QString &name) const
{
    return openBelow(directoryFd, QStringList{name});
}

RootFileOpener::Opened RootFileOpener::openBelow(int directoryFd, const QStringList &names) const
{
    if (directoryFd < 0)
        return failed(EBADF);
    for (const QString &name : names) {
        if (!isPlainName(name))
            return failed(EACCES);
    }
    if (names.isEmpty())
        return opened(openatRetrying(directoryFd, ".", kOpenFlags));
    if (!m_kernelChecked)
        return walkNameByName(directoryFd, names);
    return opened(openat2Beneath(directoryFd, QFile::encodeName(names.join(u'/')).constData(), kOpenFlags));
}

RootFileOpener::Opened RootFileOpener::walkNameByName(int directoryFd, const QStringList &names) const
{
    // Each folder on the way is held open, so renaming or replacing it
    // after it was looked up changes nothing for this walk.
    Tamberlyn::Platform::UniqueFd folder;
    int current = directoryFd;
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        // O_PATH with O_NOFOLLOW opens a link itself rather than failing;
        // fstat then tells it apart from a folder.
        Tamberlyn::Platform::UniqueFd next(openatRetrying(current, QFile::encodeName(names[i]).constData(),
                                     O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!next.isValid())
            return failed(errno);
        struct stat info = {};
        if (::fstat(next.get(), &info) != 0)
            return failed(errno);
        if (S_ISLNK(info.st_mode))
            return failed(ELOOP);
        if (!S_ISDIR(info.st_mode))
            return failed(ENOTDIR);
        folder = std::move(next);
        current = folder.get();
    }
    // O_NOFOLLOW on the last name: a link there is ELOOP.
    return opened(openatRetrying(current, QFile::encodeName(names.last()).constData(), kOpenFlags | O_NOFOLLOW));
}
