#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the event loop with exit code 0 on SIGTERM or SIGINT. The handler only
// writes the signal number into a pipe; the quit itself happens in the event
// loop, where it is safe to tear down sockets and files.
class UnixSignalQuitter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UnixSignalQuitter)

public:
    explicit UnixSignalQuitter(QObject *parent = nullptr);
    ~UnixSignalQuitter() override;

    // Installs the handlers; false (with a diagnostic) if that failed.
    bool install();

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};
