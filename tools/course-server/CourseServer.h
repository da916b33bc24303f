#pragma once

#include "ConnectionLimits.h"

#include <QHostAddress>
#include <QObject>
#include <QSslConfiguration>
#include <QString>
#include <QTcpServer>
#include <QTimer>

#include <memory>

class ConnectionAcceptor;
class HttpConnection;
class RootFileOpener;

// Listens for TCP connections, starts TLS on each and hands it to an
// HttpConnection that serves files from the web root. At most
// limits.maxConnections are served at once; at the cap a new client takes
// the place of the connection that has asked nothing for the longest (see
// ConnectionLimits::slowAfterMs), and waits only while every one is busy.
// While out of file handles it stops accepting instead of spinning, and
// starts again when one is freed.
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
    void connectionClosed(QObject *connection);
    bool makeRoom();
    void lookForRoom();

    std::shared_ptr<const RootFileOpener> m_root;
    QSslConfiguration m_tls;
    ConnectionLimits m_limits;
    // Only binds and listens; the acceptor takes the connections off it.
    QTcpServer m_listener;
    ConnectionAcceptor *m_acceptor = nullptr;
    // Open connections, oldest first.
    QList<HttpConnection *> m_connections;
    bool m_atCapReported = false;
    // While every connection is busy at the cap: looks again now and then
    // for one that has become idle or slow.
    QTimer m_roomCheck;
};
