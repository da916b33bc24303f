#include "CourseServer.h"

#include "ConnectionAcceptor.h"
#include "HttpConnection.h"
#include "RootFileOpener.h"
#include "ServerLogging.h"

#include <QSslSocket>

#include <unistd.h>

CourseServer::CourseServer(std::shared_ptr<const RootFileOpener> root, const QSslConfiguration &tls,
                           const ConnectionLimits &limits, QObject *parent)
    : QObject(parent)
    , m_root(std::move(root))
    , m_tls(tls)
    , m_limits(limits)
{
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
    auto *connection = new HttpConnection(socket, m_root, m_limits.headerTimeoutMs, this);
    connect(connection, &QObject::destroyed, this, &CourseServer::connectionClosed);
    socket->startServerEncryption();

    if (++m_openConnections >= m_limits.maxConnections) {
        if (!m_atCapReported) {
            m_atCapReported = true;
            qCInfo(lcServer) << "serving" << m_openConnections
                             << "connections, the most allowed: new ones wait until one closes";
        }
        m_acceptor->setHeld(true);
    }
}

void CourseServer::connectionClosed()
{
    --m_openConnections;
    if (m_openConnections < m_limits.maxConnections) {
        m_atCapReported = false;
        m_acceptor->setHeld(false);
    }
    m_acceptor->handleFreed();
}
