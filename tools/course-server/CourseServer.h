#pragma once

#include <QSslConfiguration>
#include <QString>
#include <QTcpServer>

// Accepts TCP connections, starts TLS on each and hands it to an
// HttpConnection that serves files from the web root.
class CourseServer final : public QTcpServer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CourseServer)

public:
    CourseServer(const QString &canonicalRoot, const QSslConfiguration &tls, QObject *parent = nullptr);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    QString m_root;
    QSslConfiguration m_tls;
};
