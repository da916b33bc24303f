#include "tinycourseserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QUrl>

class TinyHttpsServer final : public QTcpServer
{
public:
    TinyHttpsServer(QString root, QString failing, int status, std::shared_ptr<std::atomic_bool> failingNow)
        : m_root(std::move(root))
        , m_failing(std::move(failing))
        , m_status(status)
        , m_failingNow(std::move(failingNow))
    {
    }

    bool readCertificate(const QString &folder)
    {
        QFile cert(folder + QStringLiteral("/cert.pem"));
        QFile key(folder + QStringLiteral("/key.pem"));
        if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
            return false;
        m_certificate = QSslCertificate(cert.readAll(), QSsl::Pem);
        m_key = QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem);
        return !m_certificate.isNull() && !m_key.isNull();
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setLocalCertificate(m_certificate);
        socket->setPrivateKey(m_key);
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QSslSocket::readyRead, socket, [this, socket] { serve(socket); });
        socket->startServerEncryption();
    }

private:
    void serve(QSslSocket *socket)
    {
        QByteArray head = socket->property("head").toByteArray() + socket->readAll();
        socket->setProperty("head", head);
        const qsizetype end = head.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> request = head.left(head.indexOf("\r\n")).split(' ');
        socket->setProperty("head", head.mid(end + 4));
        const QString path = request.size() >= 2 ? QUrl::fromPercentEncoding(request.at(1)) : QString();

        QByteArray status = "404 Not Found";
        QByteArray type = "text/plain";
        QByteArray body = "not here\n";
        if (path == m_failing && m_failingNow->load()) {
            status = QByteArray::number(m_status) + " Test Failure";
            body = "failing on purpose\n";
        } else if (const QString file = fileFor(path); !file.isEmpty()) {
            QFile content(file);
            if (content.open(QIODevice::ReadOnly)) {
                status = "200 OK";
                body = content.readAll();
                type = file.endsWith(QLatin1String(".vxp")) || file.endsWith(QLatin1String(".html"))
                           ? "text/html"
                           : "application/octet-stream";
            }
        }
        socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    // Inside the root only, and only files.
    QString fileFor(const QString &path) const
    {
        if (!path.startsWith(QLatin1Char('/')) || path.split(QLatin1Char('/')).contains(QStringLiteral("..")))
            return {};
        const QString file = QDir::cleanPath(m_root + path);
        return QFileInfo(file).isFile() && file.startsWith(m_root + QLatin1Char('/')) ? file : QString();
    }

    QString m_root;
    QString m_failing;
    int m_status;
    std::shared_ptr<std::atomic_bool> m_failingNow;
    QSslCertificate m_certificate;
    QSslKey m_key;
};

TinyCourseServer::TinyCourseServer(const QString &root, const QString &certificateFolder, const QString &failing,
                                   int status)
{
    m_thread.start();
    QObject context;
    context.moveToThread(&m_thread);
    quint16 port = 0;
    QMetaObject::invokeMethod(
        &context,
        [&] {
            m_server = new TinyHttpsServer(QDir::cleanPath(root), failing, status, m_failing);
            if (m_server->readCertificate(certificateFolder) && m_server->listen(QHostAddress::LocalHost, 0))
                port = m_server->serverPort();
            context.moveToThread(nullptr);
        },
        Qt::BlockingQueuedConnection);
    m_port = port;
}

TinyCourseServer::~TinyCourseServer()
{
    if (m_server)
        QMetaObject::invokeMethod(m_server, [server = m_server] { delete server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}
