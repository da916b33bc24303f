#include "ConnectionAcceptor.h"

#include "ServerLogging.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

ConnectionAcceptor::ConnectionAcceptor(qintptr listeningDescriptor, QObject *parent)
    : QObject(parent)
    , m_listening(listeningDescriptor)
    , m_notifier(listeningDescriptor, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &ConnectionAcceptor::acceptQueued);
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &ConnectionAcceptor::handleFreed);
}

void ConnectionAcceptor::setHeld(bool held)
{
    m_held = held;
    updateWatching();
}

void ConnectionAcceptor::setMakeRoom(std::function<bool()> atCap, std::function<bool()> makeRoom)
{
    m_atCap = std::move(atCap);
    m_makeRoom = std::move(makeRoom);
}

bool ConnectionAcceptor::clientWaiting() const
{
    pollfd listening{static_cast<int>(m_listening), POLLIN, 0};
    return ::poll(&listening, 1, 0) > 0 && (listening.revents & POLLIN) != 0;
}

void ConnectionAcceptor::handleFreed()
{
    if (!m_starved)
        return;
    // Only watch again: the event loop polls the socket after whatever is
    // closing now has closed, and accepts then.
    m_starved = false;
    m_retry.stop();
    updateWatching();
}

void ConnectionAcceptor::updateWatching()
{
    m_notifier.setEnabled(!m_held && !m_starved);
}

void ConnectionAcceptor::acceptQueued()
{
    while (!m_held && !m_starved) {
        if (m_atCap && m_atCap()) {
            if (!clientWaiting())
                return;
            if (!m_makeRoom()) {
                setHeld(true);
                return;
            }
        }
        const int descriptor =
            ::accept4(static_cast<int>(m_listening), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (descriptor >= 0) {
            emit accepted(descriptor);
            continue;
        }
        switch (errno) {
        case EINTR:
            continue;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            // Queue empty. (Linux takes the descriptor before it looks at
            // the queue, so out of handles even an empty queue is EMFILE:
            // only here is the shortage known to be over.)
            if (m_starvationReported) {
                m_starvationReported = false;
                qCInfo(lcServer) << "accepting connections again";
            }
            return;
        // The connection went wrong before it was taken (reset, or a
        // network error Linux passes on from it): the next may be fine.
        case ECONNABORTED:
        case EPROTO:
        case EPERM:
        case ENETDOWN:
        case ENOPROTOOPT:
        case EHOSTDOWN:
        case ENONET:
        case EHOSTUNREACH:
        case EOPNOTSUPP:
        case ENETUNREACH:
            continue;
        default:
            // EMFILE, ENFILE, ENOBUFS, ENOMEM, or something unforeseen:
            // trying again at once would fail again.
            starve(errno);
            return;
        }
    }
}

void ConnectionAcceptor::starve(int error)
{
    if (!m_starvationReported) {
        m_starvationReported = true;
        const QString reason = QString::fromLocal8Bit(std::strerror(error));
        if (error == EMFILE || error == ENFILE) {
            qCWarning(lcServer).noquote()
                << QStringLiteral("out of file handles (%1): new connections wait until one is free").arg(reason);
        } else {
            qCWarning(lcServer).noquote()
                << QStringLiteral("cannot accept connections (%1): trying again shortly").arg(reason);
        }
    }
    m_starved = true;
    updateWatching();
    m_retry.start();
}
