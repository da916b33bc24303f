#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

#include <sys/resource.h>

ServerProcess::~ServerProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void ServerProcess::start(const QStringList &arguments, const QProcessEnvironment &environment)
{
    m_process.setProcessEnvironment(environment);
    m_process.setReadChannel(QProcess::StandardOutput);
    if (m_openFileLimit > 0) {
        const rlim_t limit = static_cast<rlim_t>(m_openFileLimit);
        // Runs in the child between fork and exec: setrlimit only.
        m_process.setChildProcessModifier([limit] {
            const struct rlimit both = {limit, limit};
            ::setrlimit(RLIMIT_NOFILE, &both);
        });
    }
    m_process.start(QStringLiteral(TAMBERLYN_COURSE_SERVER), arguments);
}

void ServerProcess::collect()
{
    m_partialLine += m_process.readAllStandardOutput();
    m_stderr += m_process.readAllStandardError();
    qsizetype newline;
    while ((newline = m_partialLine.indexOf('\n')) >= 0) {
        m_lines.append(m_partialLine.left(newline));
        m_partialLine.remove(0, newline + 1);
    }
}

void ServerProcess::drain()
{
    while (m_process.waitForReadyRead(0)) {
    }
    collect();
}

QList<QByteArray> ServerProcess::stdoutLines()
{
    collect();
    return m_lines;
}

QByteArray ServerProcess::standardError()
{
    collect();
    return m_stderr;
}

bool ServerProcess::waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        collect();
        if (condition())
            return true;
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 100)));
    }
}

bool ServerProcess::waitForStdoutLine(const QByteArray &line, int timeoutMs)
{
    return waitUntil([&] { return m_lines.contains(line); }, timeoutMs);
}

bool ServerProcess::waitForStandardError(const QByteArray &fragment, int timeoutMs)
{
    return waitUntil([&] { return m_stderr.contains(fragment); }, timeoutMs);
}

bool ServerProcess::waitForListening(int timeoutMs)
{
    static const QRegularExpression listening(QStringLiteral("^listening on https://127\\.0\\.0\\.1:(\\d+)/$"));
    static const QRegularExpression fingerprint(
        QStringLiteral("^certificate SHA-256 fingerprint: ((?:[0-9A-F]{2}:){31}[0-9A-F]{2})$"));
    bool announced = false;
    const auto listeningSeen = [&] {
        for (const QByteArray &line : std::as_const(m_lines)) {
            const QString text = QString::fromUtf8(line);
            if (const QRegularExpressionMatch match = fingerprint.match(text); match.hasMatch())
                m_fingerprint = match.captured(1).toLatin1();
            if (const QRegularExpressionMatch match = listening.match(text); match.hasMatch()) {
                m_port = match.captured(1).toUShort();
                announced = true;
                return true;
            }
        }
        return false;
    };
    return waitUntil(listeningSeen, timeoutMs) && announced && m_port != 0 && !m_fingerprint.isEmpty();
}

bool ServerProcess::waitForFinished(int timeoutMs)
{
    const bool finished = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
    collect();
    return finished;
}
