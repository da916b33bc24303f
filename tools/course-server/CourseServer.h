#pragma once

#include "ConnectionLimits.h"

#include <QHostAddress>
#include <QObject>
#include <QSslConfiguration>
#include <QString>
#include <QTcpServer>

#include <memory>

class ConnectionAcceptor;
class RootFileOpener;

// Listens for TCP connections, starts TLS on each and hands it to an
// HttpConnection that serves files from the web root. At most
// limits.maxConnections are served at once; while out of file handles it
// stops accepting instead of spinning, and starts again when one is freed.
class CourseServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CourseServer)

public:
    CourseServer(std::shared_ptr<const RootFileOpener> root, const QSslConfiguration &tls,
                 const ConnectionLimits &limits, QObject *parent = nullptr);
    ~CourseServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return m_listener.errorString(); }
    QHostAddress serverAddress() const { return m_listener.serverAddress(); }
    quint16 serverPort() const { return m_listener.serverPort(); }

private:
    void takeConnection(qintptr descriptor);
    void connectionClosed();

    std::shared_ptr<const RootFileOpener> m_root;
    QSslConfiguration m_tls;
    ConnectionLimits m_limits;
    // Only binds and listens; the acceptor takes the connections off it.
    QTcpServer m_listener;
    ConnectionAcceptor *m_acceptor = nullptr;
    int m_openConnections = 0;
    bool m_atCapReported = false;
};
