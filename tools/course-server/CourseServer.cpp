#include "CourseServer.h"

#include "ConnectionAcceptor.h"
#include "HttpConnection.h"
#include "RootFileOpener.h"
#include "ServerLogging.h"

#include <QSslSocket>

#include <algorithm>

#include <unistd.h>

CourseServer::CourseServer(std::shared_ptr<const RootFileOpener> root, const QSslConfiguration &tls,
                           const ConnectionLimits &limits, QObject *parent)
    : QObject(parent)
    , m_root(std::move(root))
    , m_tls(tls)
    , m_limits(limits)
{
    m_roomCheck.setInterval(ConnectionAcceptor::kRetryMs);
    connect(&m_roomCheck, &QTimer::timeout, this, &CourseServer::lookForRoom);
}

CourseServer::~CourseServer()
{
    // Connections are children; their destroyed() must not reach a half
    // torn-down server. The acceptor goes before the listening socket it
    // watches is closed.
    for (QObject *child : children())
        disconnect(child, nullptr, this, nullptr);
    delete m_acceptor;
}

bool CourseServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_listener.listen(address, port))
        return false;
    // QTcpServer retries a failed accept on every wake-up; from here on the
    // acceptor does the accepting.
    m_listener.pauseAccepting();
    m_acceptor = new ConnectionAcceptor(m_listener.socketDescriptor(), this);
    connect(m_acceptor, &ConnectionAcceptor::accepted, this, &CourseServer::takeConnection);
    m_acceptor->setMakeRoom([this] { return m_connections.size() >= m_limits.maxConnections; },
                            [this] { return makeRoom(); });
    return true;
}

void CourseServer::takeConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        qCWarning(lcServer) << "cannot take over a connection:" << socket->errorString();
        delete socket;
        ::close(static_cast<int>(descriptor));
        return;
    }
    socket->setSslConfiguration(m_tls);
    auto *connection = new HttpConnection(socket, m_root, m_limits, this);
    connect(connection, &QObject::destroyed, this, &CourseServer::connectionClosed);
    m_connections.append(connection);
    socket->startServerEncryption();
}

bool CourseServer::makeRoom()
{
    HttpConnection *victim = nullptr;
    qint64 longest = -1;
    for (HttpConnection *connection : std::as_const(m_connections)) {
        const qint64 evictable = connection->evictableForMs();
        if (evictable > longest) {
            longest = evictable;
            victim = connection;
        }
    }
    if (victim == nullptr) {
        if (!m_atCapReported) {
            m_atCapReported = true;
            qCInfo(lcServer) << "serving" << m_connections.size()
                             << "connections, the most allowed, all busy: new ones wait until one is free";
        }
        m_roomCheck.start();
        return false;
    }
    // Gone from the count at once: its handle is freed now or in a moment.
    m_connections.removeOne(victim);
    disconnect(victim, &QObject::destroyed, this, &CourseServer::connectionClosed);
    victim->evict();
    return true;
}

void CourseServer::lookForRoom()
{
    const bool room = m_connections.size() < m_limits.maxConnections
        || std::any_of(m_connections.cbegin(), m_connections.cend(),
                       [](const HttpConnection *connection) { return connection->evictableForMs() >= 0; });
    if (!room)
        return;
    m_roomCheck.stop();
    m_atCapReported = false;
    // Accepting again; a client still waiting is taken at once.
    m_acceptor->setHeld(false);
}

void CourseServer::connectionClosed(QObject *connection)
{
    m_connections.removeIf([connection](const HttpConnection *open) { return open == connection; });
    if (m_connections.size() < m_limits.maxConnections) {
        m_roomCheck.stop();
        m_atCapReported = false;
        m_acceptor->setHeld(false);
    }
    m_acceptor->handleFreed();
}
