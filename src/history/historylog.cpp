#include "historylog.h"

#include "platform/ansicodepage.h"

#include <QFile>
#include <QLoggingCategory>

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

bool HistoryLog::AppendHistory(const QString &pageName) const
{
    const QByteArray record = recordFor(pageName);
    const QByteArray path = QFile::encodeName(filePath());
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        qCWarning(lcHistory).noquote() << "visit not recorded:" << filePath() << std::strerror(errno);
        return false;
    }
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    ssize_t written;
    do {
        written = ::write(fd, record.constData(), static_cast<size_t>(record.size()));
    } while (written < 0 && errno == EINTR);
    const bool whole = written == record.size();
    if (!whole && written > 0 && sized)
        (void)!::ftruncate(fd, before.st_size);
    ::close(fd);
    if (!whole)
        qCWarning(lcHistory).noquote() << "visit not recorded:" << filePath();
    return whole;
}

} // namespace Tamberlyn::History
