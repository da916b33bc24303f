#include "historylog.h"

#include "historylogsync.h"

#include "platform/ansicodepage.h"

#include <QFile>
#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Tamberlyn::History {

Q_LOGGING_CATEGORY(lcHistory, "tamberlyn.history", QtInfoMsg)

HistoryLog::HistoryLog(QString dornDir)
    : m_dornDir(std::move(dornDir))
{
}

QString HistoryLog::filePath() const
{
    return m_dornDir + QLatin1String(FileName);
}

QByteArray HistoryLog::recordFor(const QString &pageName)
{
    return '"' + Platform::toAnsi(pageName) + "\"\r\n";
}

QByteArray HistoryLog::lineBreakAfter(int fd, qint64 size)
{
    // A file cut short by a crash elsewhere, or a copy, can end inside a
    // record. Glued onto it, the new record would be lost with the torn one
    // in a single line; ending that line first keeps the torn line exactly as
    // it was and the new record whole. Reading the last two bytes is enough:
    // every record ends in CR LF.
    if (size <= 0)
        return {};
    char tail[2] = {};
    const qint64 want = std::min<qint64>(size, 2);
    if (::pread(fd, tail, static_cast<size_t>(want), size - want) != want)
        return {};
    if (want == 2 && tail[0] == '\r' && tail[1] == '\n')
        return {};
    return tail[want - 1] == '\r' ? QByteArray("\n") : QByteArray("\r\n");
}

bool HistoryLog::AppendHistory(const QString &pageName, QString *problem) const
{
    const auto fail = [&](int error) {
        const QString reason = QString::fromLocal8Bit(std::strerror(error));
        qCWarning(lcHistory).noquote() << "visit not recorded:" << filePath() << reason;
        if (problem)
            *problem = reason;
        return false;
    };
    const QByteArray record = recordFor(pageName);
    const QByteArray path = QFile::encodeName(filePath());
    const int fd = ::open(path.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(errno);
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    const QByteArray bytes = lineBreakAfter(fd, sized ? before.st_size : 0) + record;
    ssize_t written;
    do {
        written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    } while (written < 0 && errno == EINTR);
    // A short write that did not say why ran out of room.
    const int writeError = written < 0 ? errno : ENOSPC;
    const bool whole = written == bytes.size();
    if (!whole && written > 0 && sized)
        (void)!::ftruncate(fd, before.st_size);
    if (whole) {
        // A new file's name is only safe once its folder is flushed too.
        Platform::UniqueFd folder;
        if (!sized || before.st_size == 0)
            folder.reset(::open(QFile::encodeName(m_dornDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        HistoryLogSync::instance().flushSoon(Platform::UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0)), std::move(folder));
    }
    // The close can be where a full disk shows first (NFS, quotas).
    const bool closed = ::close(fd) == 0 || errno == EINTR;
    const int closeError = errno;
    if (!whole)
        return fail(writeError);
    if (!closed)
        return fail(closeError);
    return true;
}

bool HistoryLog::waitUntilOnDisk(std::chrono::milliseconds timeout)
{
    return HistoryLogSync::instance().waitUntilFlushed(timeout);
}

} // namespace Tamberlyn::History
