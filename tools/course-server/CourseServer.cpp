#include "CourseServer.h"

#include "HttpConnection.h"
#include "ServerLogging.h"

#include <QSslSocket>

CourseServer::CourseServer(const QString &canonicalRoot, const QSslConfiguration &tls, QObject *parent)
    : QTcpServer(parent)
    , m_root(canonicalRoot)
    , m_tls(tls)
{
}

void CourseServer::incomingConnection(qintptr socketDescriptor)
{
    auto *socket = new QSslSocket;
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        qCWarning(lcServer) << "cannot take over a connection:" << socket->errorString();
        delete socket;
        return;
    }
    socket->setSslConfiguration(m_tls);
    new HttpConnection(socket, m_root, this);
    socket->startServerEncryption();
}
