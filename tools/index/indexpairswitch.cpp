#include "indexpairswitch.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Tamberlyn::IndexTool {

namespace {

using Platform::UniqueFd;

QString systemError(const QString &what)
{
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

// The pair in the order it is switched in.
const char *const PairNames[] = {Tables::FilesFileName, Tables::WordsFileName};

bool isOurName(const QByteArray &name)
{
    return name == IndexPairSwitch::ReadyFolder || name.startsWith(IndexPairSwitch::StagingPrefix);
}

// What a name in a folder is, never looking through a link: 0 when it is
// missing, else its st_mode.
mode_t modeIn(int folderFd, const char *name)
{
    struct stat info {};
    return ::fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 ? info.st_mode : 0;
}

// The names in a folder, read through a copy of its handle.
QList<QByteArray> namesIn(int folderFd, bool *ok)
{
    QList<QByteArray> names;
    *ok = false;
    const int listFd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    DIR *listing = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (listing == nullptr) {
        if (listFd >= 0)
            ::close(listFd);
        return names;
    }
    ::rewinddir(listing);
    errno = 0;
    while (const dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    *ok = errno == 0;
    ::closedir(listing);
    return names;
}

// Removes a folder this tool made, and the files in it, through handles:
// a link inside is removed as a link, never followed; a folder inside (the
// tool never makes one) is left, and with it the folder.
bool removeOwnFolder(int parentFd, const char *name)
{
    {
        const UniqueFd folder(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.isValid())
            return errno == ENOENT;
        bool listed = false;
        for (const QByteArray &entry : namesIn(folder.get(), &listed)) {
            if (!S_ISDIR(modeIn(folder.get(), entry.constData())))
                ::unlinkat(folder.get(), entry.constData(), 0);
        }
    }
    return ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 || errno == ENOENT;
}

bool writeSynced(int folderFd, const char *name, const QByteArray &bytes, QString *error)
{
    const UniqueFd fd(::openat(folderFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd.isValid()) {
        *error = systemError(QStringLiteral("cannot create %1").arg(QLatin1String(name)));
        return false;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd.get(), bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            *error = systemError(QStringLiteral("cannot write %1").arg(QLatin1String(name)));
            return false;
        }
        done += written;
    }
    if (::fsync(fd.get()) != 0) {
        *error = systemError(QStringLiteral("cannot flush %1").arg(QLatin1String(name)));
        return false;
    }
    return true;
}

// Holds an exclusive lock on a folder for as long as it lives.
class FolderLock final
{
public:
    explicit FolderLock(int fd)
        : m_fd(fd)
    {
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock() { ::flock(m_fd, LOCK_UN); }
    Q_DISABLE_COPY_MOVE(FolderLock)

private:
    int m_fd;
};

} // namespace

IndexPairSwitch::IndexPairSwitch(QString folder)
    : m_folder(std::move(folder))
{
}

bool IndexPairSwitch::openFolder(bool create, Result &result)
{
    if (m_folderFd.isValid())
        return true;
    if (create && !QDir().mkpath(m_folder)) {
        result.error = QStringLiteral("cannot create %1").arg(m_folder);
        return false;
    }
    m_folderFd.reset(::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_folderFd.isValid()) {
        if (create || errno != ENOENT)
            result.error = systemError(QStringLiteral("cannot open %1").arg(m_folder));
        return false;
    }
    return true;
}

bool IndexPairSwitch::refuseStrangers(Result &result)
{
    bool listed = false;
    const QList<QByteArray> names = namesIn(m_folderFd.get(), &listed);
    if (!listed) {
        result.error = systemError(QStringLiteral("cannot list %1").arg(m_folder));
        return false;
    }
    for (const QByteArray &name : names) {
        if (!isOurName(name))
            continue;
        const mode_t mode = modeIn(m_folderFd.get(), name.constData());
        if (mode == 0 || S_ISDIR(mode))
            continue;
        result.error = QStringLiteral("%1 is %2, not a folder this tool made: it was left alone; remove it yourself")
                           .arg(QDir(m_folder).filePath(QFile::decodeName(name)),
                                S_ISLNK(mode) ? QStringLiteral("a symbolic link") : QStringLiteral("not a folder"));
        return false;
    }
    return true;
}

bool IndexPairSwitch::finishLocked(Result &result)
{
    const UniqueFd ready(::openat(m_folderFd.get(), ReadyFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!ready.isValid()) {
        if (errno == ENOENT)
            return true;
        result.error = systemError(QStringLiteral("cannot open %1").arg(QDir(m_folder).filePath(QLatin1String(ReadyFolder))));
        return false;
    }
    result.finishedEarlierSwitch = true;
    // Whatever the ready folder still holds was committed and is newer than
    // the file of the same name in place.
    bool filesInPlace = !S_ISREG(modeIn(ready.get(), Tables::FilesFileName));
    for (const char *name : PairNames) {
        if (!S_ISREG(modeIn(ready.get(), name)))
            continue;
        if (::renameat(ready.get(), name, m_folderFd.get(), name) != 0) {
            result.error = systemError(QStringLiteral("cannot move the new %1 into place").arg(QLatin1String(name)));
            result.outcome = filesInPlace ? Outcome::Mixed : Outcome::Committed;
            return false;
        }
        filesInPlace = true;
    }
    if (::fsync(m_folderFd.get()) != 0) {
        result.error = systemError(QStringLiteral("cannot flush %1").arg(m_folder));
        result.outcome = Outcome::Switched;
        return false;
    }
    if (!removeOwnFolder(m_folderFd.get(), ReadyFolder))
        result.leftovers.append(QDir(m_folder).filePath(QLatin1String(ReadyFolder)));
    return true;
}

void IndexPairSwitch::removeStaleStaging(Result &result)
{
    bool listed = false;
    for (const QByteArray &name : namesIn(m_folderFd.get(), &listed)) {
        if (!name.startsWith(StagingPrefix) || !S_ISDIR(modeIn(m_folderFd.get(), name.constData())))
            continue;
        // A build still writing holds its staging folder locked.
        const UniqueFd staging(
            ::openat(m_folderFd.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!staging.isValid() || ::flock(staging.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        if (!removeOwnFolder(m_folderFd.get(), name.constData()))
            result.leftovers.append(QDir(m_folder).filePath(QFile::decodeName(name)));
    }
}

IndexPairSwitch::Result IndexPairSwitch::finishInterrupted()
{
    Result result;
    if (!openFolder(false, result)) {
        // A folder that is not there yet has nothing to finish.
        result.outcome = result.error.isEmpty() ? Outcome::Switched : Outcome::Untouched;
        return result;
    }
    const FolderLock lock(m_folderFd.get());
    if (!refuseStrangers(result))
        return result;
    result.outcome = Outcome::Switched;
    if (finishLocked(result))
        removeStaleStaging(result);
    return result;
}

IndexPairSwitch::Result IndexPairSwitch::replace(const QByteArray &files, const QByteArray &words)
{
    Result result;
    if (!openFolder(true, result))
        return result;

    // Staging: a folder of our own, locked while it is written so no other
    // build takes it for a stale one, and never a name someone else chose.
    QByteArray stagingName;
    for (int attempt = 0; attempt < 100 && stagingName.isEmpty(); ++attempt) {
        QByteArray name = StagingPrefix;
        for (int i = 0; i < 8; ++i)
            name += "abcdefghijklmnopqrstuvwxyz0123456789"[QRandomGenerator::system()->bounded(36)];
        if (::mkdirat(m_folderFd.get(), name.constData(), 0700) == 0)
            stagingName = name;
        else if (errno != EEXIST)
            break;
    }
    if (stagingName.isEmpty()) {
        result.error = systemError(QStringLiteral("cannot create a staging folder in %1").arg(m_folder));
        return result;
    }
    const UniqueFd staging(
        ::openat(m_folderFd.get(), stagingName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const auto abandon = [&] {
        removeOwnFolder(m_folderFd.get(), stagingName.constData());
        return result;
    };
    if (!staging.isValid() || ::flock(staging.get(), LOCK_EX) != 0) {
        result.error = systemError(QStringLiteral("cannot open the staging folder"));
        return abandon();
    }
    if (!writeSynced(staging.get(), Tables::FilesFileName, files, &result.error)
        || !writeSynced(staging.get(), Tables::WordsFileName, words, &result.error))
        return abandon();
    if (::fsync(staging.get()) != 0) {
        result.error = systemError(QStringLiteral("cannot flush the staging folder"));
        return abandon();
    }

    const FolderLock lock(m_folderFd.get());
    if (!refuseStrangers(result))
        return abandon();
    // An earlier build's switch goes first; if it cannot be finished, this
    // build's pair must not be committed over it.
    if (!finishLocked(result))
        return abandon();
    result.outcome = Outcome::Untouched;

    // The commit: from here on the new pair is the folder's.
    if (::renameat(m_folderFd.get(), stagingName.constData(), m_folderFd.get(), ReadyFolder) != 0) {
        result.error = systemError(QStringLiteral("cannot commit the new index"));
        return abandon();
    }
    result.outcome = Outcome::Committed;
    if (::fsync(m_folderFd.get()) != 0) {
        result.error = systemError(QStringLiteral("cannot flush %1").arg(m_folder));
        return result;
    }
    // The staging handle is the ready folder now.
    for (const char *name : PairNames) {
        if (::renameat(staging.get(), name, m_folderFd.get(), name) != 0) {
            result.error = systemError(QStringLiteral("cannot move the new %1 into place").arg(QLatin1String(name)));
            return result;
        }
        result.outcome = Outcome::Mixed;
    }
    result.outcome = Outcome::Switched;
    if (::fsync(m_folderFd.get()) != 0) {
        result.error = systemError(QStringLiteral("cannot flush %1").arg(m_folder));
        return result;
    }
    if (!removeOwnFolder(m_folderFd.get(), ReadyFolder))
        result.leftovers.append(QDir(m_folder).filePath(QLatin1String(ReadyFolder)));
    removeStaleStaging(result);
    return result;
}

IndexPairSwitch::Outcome IndexPairSwitch::pendingState(const QString &folder)
{
    const UniqueFd folderFd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.isValid())
        return Outcome::Switched;
    while (::flock(folderFd.get(), LOCK_SH) != 0 && errno == EINTR) {
    }
    const UniqueFd ready(::openat(folderFd.get(), ReadyFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!ready.isValid())
        return Outcome::Switched;
    if (S_ISREG(modeIn(ready.get(), Tables::FilesFileName)))
        return Outcome::Committed;
    return S_ISREG(modeIn(ready.get(), Tables::WordsFileName)) ? Outcome::Mixed : Outcome::Switched;
}

} // namespace Tamberlyn::IndexTool
