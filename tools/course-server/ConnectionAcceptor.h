#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>

// Takes connections off a listening socket. Out of file handles, accept()
// fails at once and leaves the connection queued, so the socket stays
// readable: asking again on every wake-up would spin at full CPU. The
// acceptor then stops watching the socket until a handle is freed, or a
// short back-off has passed (a handle may be freed where no one says so).
// The owner can also hold it while it is at its connection cap.
class ConnectionAcceptor final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConnectionAcceptor)

public:
    // listeningDescriptor stays owned by the caller and must outlive this.
    explicit ConnectionAcceptor(qintptr listeningDescriptor, QObject *parent = nullptr);

    // While held, nothing is accepted; queued clients wait in the kernel.
    void setHeld(bool held);
    // Asked before each connection is taken while the owner is at its cap:
    // make room for one, true when there is room now. Asked only when a
    // client is known to wait, so nobody is dropped for nobody. When it
    // says no, the acceptor holds itself until setHeld(false).
    void setMakeRoom(std::function<bool()> atCap, std::function<bool()> makeRoom);
    // A file handle was closed (or is about to be): if starved, look again.
    void handleFreed();

    static constexpr int kRetryMs = 250;

signals:
    // The descriptor is the receiver's to keep or close.
    void accepted(qintptr descriptor);

private:
    void acceptQueued();
    bool clientWaiting() const;
    void starve(int error);
    void updateWatching();

    qintptr m_listening;
    QSocketNotifier m_notifier;
    QTimer m_retry;
    bool m_held = false;
    bool m_starved = false;
    bool m_starvationReported = false;
    std::function<bool()> m_atCap;
    std::function<bool()> m_makeRoom;
};
