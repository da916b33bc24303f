#include "indexpairfiles.h"

#include "tablefiles.h"
#include "tableslogging.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>

namespace Tamberlyn::Tables {

namespace {

bool isPlainFileIn(int folderFd, const char *name)
{
    struct stat info {};
    return ::fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode);
}

// The shared lock, waiting at most `wait` for a build's exclusive one.
// False only when a build held it all that time.
bool lockShared(int fd, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::chrono::milliseconds pause{1};
    for (;;) {
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        // A file system without locks has no builds that take them either.
        if (errno != EWOULDBLOCK)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

} // namespace

IndexPairFiles::IndexPairFiles(const QString &folder)
    : m_folder(folder)
{
    m_folderFd.reset(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_folderFd.isValid())
        return;
    if (!lockShared(m_folderFd.get(), LockWait)) {
        qCWarning(lcTables).noquote() << "the index in" << folder << "is being replaced and stayed locked for"
                                      << LockWait.count() << "ms; not reading it";
        m_busy = true;
        return;
    }
    m_readyFd.reset(::openat(m_folderFd.get(), ReadyFolderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (m_readyFd.isValid()) {
        qCDebug(lcTables).noquote() << "a switch of the index in" << folder
                                   << "was left half done; reading the pair it committed";
    }
}

IndexPairFiles::Source IndexPairFiles::sourceOf(const char *name) const
{
    return m_readyFd.isValid() && isPlainFileIn(m_readyFd.get(), name) ? Source::Ready : Source::Folder;
}

QString IndexPairFiles::pathOf(const char *name) const
{
    const QDir folder(m_folder);
    if (sourceOf(name) == Source::Ready)
        return QDir(folder.filePath(QLatin1String(ReadyFolderName))).filePath(QLatin1String(name));
    return folder.filePath(QLatin1String(name));
}

Platform::UniqueFd IndexPairFiles::open(const char *name) const
{
    if (sourceOf(name) == Source::Ready)
        return Platform::UniqueFd(::openat(m_readyFd.get(), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    // The index folder's own files are read as they always were: an
    // installed index may well be a link into a package's data. Never
    // waiting on a FIFO put in their place.
    return Platform::UniqueFd(
        ::open(QFile::encodeName(pathOf(name)).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
}

} // namespace Tamberlyn::Tables
