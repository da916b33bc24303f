#include "desktopshell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLoggingCategory>
#include <QProcess>
#include <QUrl>

#include <cstdio>
#include <unistd.h>

namespace Tamberlyn::Platform {

Q_LOGGING_CATEGORY(lcShell, "tamberlyn.shell", QtInfoMsg)

DesktopShell::~DesktopShell()
{
    delete m_channel;
}

QString DesktopShell::environmentValue(const QString &name) const
{
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

QString DesktopShell::commandLine() const
{
    return QCoreApplication::arguments().mid(1).join(QLatin1Char(' '));
}

bool DesktopShell::openInBrowser(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https"))
        return false;
    return QDesktopServices::openUrl(url);
}

bool DesktopShell::startProgram(const QString &program, const QStringList &arguments)
{
    if (program.isEmpty())
        return false;
    // Detached: the program outlives us, and we never wait for it.
    return QProcess::startDetached(program, arguments);
}

bool DesktopShell::anotherInstanceRunning(const QString &lockFolder)
{
    if (m_anotherRunning)
        return *m_anotherRunning;
    m_lockFolder = lockFolder;
    const QString path = QDir(lockFolder).filePath(QStringLiteral("tamberlyn.lock"));
    switch (m_lock.tryAcquire(path)) {
    case FlockInstanceLock::Outcome::Acquired:
        m_anotherRunning = false;
        m_holdsLock = true;
        break;
    case FlockInstanceLock::Outcome::HeldByAnother:
        m_anotherRunning = true;
        break;
    case FlockInstanceLock::Outcome::Unavailable:
        // Better a second course window than none at all.
        qCWarning(lcShell).noquote() << "cannot use the instance lock" << path << ":" << m_lock.errorString();
        m_anotherRunning = false;
        break;
    }
    return *m_anotherRunning;
}

void DesktopShell::answerShowRequests(std::function<QString()> show)
{
    // Without the lock, the channel may be another course's.
    if (!m_holdsLock)
        return;
    if (!m_channel)
        m_channel = new InstanceChannel;
    m_channel->listen(QDir(m_lockFolder).filePath(QLatin1String(InstanceChannel::FileName)), std::move(show));
}

Shell::ShowReply DesktopShell::askCourseToShow()
{
    const QDir folder(m_lockFolder);
    ShowReply reply = InstanceChannel::ask(folder.filePath(QLatin1String(InstanceChannel::FileName)));
    reply.holder = FlockInstanceLock::holderOf(folder.filePath(QStringLiteral("tamberlyn.lock")));
    return reply;
}

void DesktopShell::endProcess(int exitCode)
{
    std::fflush(nullptr);
    ::_exit(exitCode);
}

} // namespace Tamberlyn::Platform
