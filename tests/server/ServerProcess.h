#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>

#include <functional>

// The course server binary under test, run as a child process. Its stdout is
// collected line by line; waits block without an event loop.
class ServerProcess final
{
    Q_DISABLE_COPY_MOVE(ServerProcess)

public:
    ServerProcess() = default;
    ~ServerProcess();

    // Runs the server with at most this many open file handles (as
    // "prlimit --nofile=N:N" would); 0 leaves the limit alone. Set before start().
    void setOpenFileLimit(int limit) { m_openFileLimit = limit; }
    void start(const QStringList &arguments,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // Waits for the "listening on" line and remembers port and fingerprint.
    bool waitForListening(int timeoutMs = 10000);
    bool waitForStdoutLine(const QByteArray &line, int timeoutMs = 5000);
    bool waitForStandardError(const QByteArray &fragment, int timeoutMs = 5000);
    bool waitForFinished(int timeoutMs = 10000);

    QList<QByteArray> stdoutLines();
    // Takes in what the server has written so far, so a server that logs a
    // line per request never blocks on a full pipe while a test is busy.
    void drain();
    QByteArray standardError();
    quint16 port() const { return m_port; }
    QByteArray fingerprint() const { return m_fingerprint; }
    qint64 processId() const { return m_process.processId(); }
    QProcess &process() { return m_process; }

private:
    void collect();
    // Collects output until condition() holds (true) or the time is up or
    // the process ended (false).
    bool waitUntil(const std::function<bool()> &condition, int timeoutMs);

    QProcess m_process;
    QByteArray m_partialLine;
    QList<QByteArray> m_lines;
    QByteArray m_stderr;
    quint16 m_port = 0;
    QByteArray m_fingerprint;
    int m_openFileLimit = 0;
};
