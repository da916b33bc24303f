#include "HttpsTestClient.h"

#include <QDeadlineTimer>
#include <QSslConfiguration>

QByteArray HttpResponse::header(QByteArrayView lowerCaseName) const
{
    for (const auto &[name, value] : headers) {
        if (name == lowerCaseName)
            return value;
    }
    return {};
}

bool HttpResponse::hasHeader(QByteArrayView lowerCaseName) const
{
    for (const auto &entry : headers) {
        if (entry.first == lowerCaseName)
            return true;
    }
    return false;
}

HttpsTestClient::HttpsTestClient(const QSslCertificate &trusted)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({trusted}); // this server's certificate and nothing else
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket.setSslConfiguration(tls);
}

bool HttpsTestClient::connectTo(quint16 port, const QString &peerName, int timeoutMs)
{
    m_socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port, peerName);
    return m_socket.waitForEncrypted(timeoutMs);
}

QString HttpsTestClient::errorString() const
{
    QString text = m_socket.errorString();
    for (const QSslError &error : m_socket.sslHandshakeErrors())
        text += QStringLiteral("; ") + error.errorString();
    return text;
}

void HttpsTestClient::send(const QByteArray &raw)
{
    m_socket.write(raw);
    m_socket.flush();
}

void HttpsTestClient::sendRequest(const QByteArray &method, const QByteArray &target,
                                  const QByteArray &extraHeaderLines)
{
    send(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaderLines + "\r\n");
}

bool HttpsTestClient::fill(int timeoutMs)
{
    if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(timeoutMs))
        return false;
    m_pending += m_socket.readAll();
    return true;
}

std::optional<HttpResponse> HttpsTestClient::readResponse(bool toHeadRequest, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    qsizetype headEnd;
    while ((headEnd = m_pending.indexOf("\r\n\r\n")) < 0) {
        if (!fill(static_cast<int>(deadline.remainingTime())))
            return std::nullopt;
    }
    const QList<QByteArray> lines = m_pending.left(headEnd).split('\n');
    m_pending.remove(0, headEnd + 4);

    HttpResponse response;
    const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
    if (statusLine.size() < 2 || statusLine.first() != "HTTP/1.1")
        return std::nullopt;
    response.status = statusLine.at(1).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            return std::nullopt;
        response.headers.append({lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed()});
    }
    if (toHeadRequest)
        return response;

    bool lengthOk = false;
    const qint64 length = response.header("content-length").toLongLong(&lengthOk);
    if (!lengthOk)
        return std::nullopt;
    while (m_pending.size() < length) {
        if (!fill(static_cast<int>(deadline.remainingTime())))
            return std::nullopt;
    }
    response.body = m_pending.left(length);
    m_pending.remove(0, length);
    return response;
}

QByteArray HttpsTestClient::readRaw(qint64 count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_pending.size() < count) {
        if (!fill(static_cast<int>(deadline.remainingTime())))
            break;
    }
    const QByteArray data = m_pending.left(count);
    m_pending.remove(0, data.size());
    return data;
}

bool HttpsTestClient::waitForServerClose(int timeoutMs)
{
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.waitForDisconnected(timeoutMs);
    m_pending += m_socket.readAll();
    return m_socket.state() == QAbstractSocket::UnconnectedState && m_pending.isEmpty();
}
