#include "indexpairswitch.h"

#include "platform/posix/uniquefd.h"
#include "tables/tablefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Tamberlyn::IndexTool {

namespace {

QString systemError(const QString &what)
{
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

// The pair in the order it is switched in.
const char *const PairNames[] = {Tables::FilesFileName, Tables::WordsFileName};

bool writeSynced(int folderFd, const char *name, const QByteArray &bytes, QString *error)
{
    const Platform::UniqueFd fd(::openat(folderFd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
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

// Removes a folder of ours and the files in it (it holds no folders).
void removeFolder(const QString &path)
{
    QDir(path).removeRecursively();
}

} // namespace

IndexPairSwitch::IndexPairSwitch(QString folder)
    : m_folder(std::move(folder))
{
}

bool IndexPairSwitch::isPending(const QString &folder)
{
    return QFileInfo(QDir(folder).filePath(QLatin1String(ReadyFolder))).isDir();
}

bool IndexPairSwitch::finishPending(int folderFd, QString *error)
{
    // Staging folders of builds that never committed hold nothing anyone
    // needs.
    const QDir folder(m_folder);
    const QStringList stale = folder.entryList({QLatin1String(StagingPrefix) + u'*'},
                                               QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : stale)
        removeFolder(folder.filePath(name));

    if (!isPending(m_folder))
        return true;
    const QByteArray ready = QFile::encodeName(folder.filePath(QLatin1String(ReadyFolder)));
    for (const char *name : PairNames) {
        const QByteArray from = ready + '/' + name;
        struct stat info {};
        if (::stat(from.constData(), &info) != 0)
            continue; // switched in before the interruption
        if (::renameat(AT_FDCWD, from.constData(), folderFd, name) != 0) {
            *error = systemError(QStringLiteral("cannot finish the interrupted switch of %1").arg(QLatin1String(name)));
            return false;
        }
    }
    if (::fsync(folderFd) != 0) {
        *error = systemError(QStringLiteral("cannot flush %1").arg(m_folder));
        return false;
    }
    removeFolder(QString::fromLocal8Bit(ready));
    return true;
}

bool IndexPairSwitch::replace(const QByteArray &files, const QByteArray &words, QString *error)
{
    const QByteArray folderPath = QFile::encodeName(m_folder);
    const Platform::UniqueFd folderFd(::open(folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.isValid() || ::flock(folderFd.get(), LOCK_EX) != 0) {
        *error = systemError(QStringLiteral("cannot open %1").arg(m_folder));
        return false;
    }
    if (!finishPending(folderFd.get(), error))
        return false;

    QByteArray staging = folderPath + '/' + StagingPrefix + "XXXXXX";
    if (!::mkdtemp(staging.data())) {
        *error = systemError(QStringLiteral("cannot create a staging folder in %1").arg(m_folder));
        return false;
    }
    const auto abandon = [&] {
        removeFolder(QString::fromLocal8Bit(staging));
        return false;
    };
    {
        const Platform::UniqueFd stagingFd(::open(staging.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!stagingFd.isValid()) {
            *error = systemError(QStringLiteral("cannot open the staging folder"));
            return abandon();
        }
        if (!writeSynced(stagingFd.get(), Tables::FilesFileName, files, error)
            || !writeSynced(stagingFd.get(), Tables::WordsFileName, words, error))
            return abandon();
        if (::fsync(stagingFd.get()) != 0) {
            *error = systemError(QStringLiteral("cannot flush the staging folder"));
            return abandon();
        }
    }
    // The commit: from here on the new pair is the folder's.
    if (::renameat(AT_FDCWD, staging.constData(), folderFd.get(), ReadyFolder) != 0
        || ::fsync(folderFd.get()) != 0) {
        *error = systemError(QStringLiteral("cannot commit the new index"));
        return abandon();
    }
    return finishPending(folderFd.get(), error);
}

} // namespace Tamberlyn::IndexTool
