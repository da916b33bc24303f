#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslSocket>

#include <optional>
#include <utility>

struct HttpResponse
{
    int status = 0;
    QList<std::pair<QByteArray, QByteArray>> headers; // names lower-cased
    QByteArray body;

    QByteArray header(QByteArrayView lowerCaseName) const;
    bool hasHeader(QByteArrayView lowerCaseName) const;
};

// A deliberately raw HTTPS client: requests are sent byte for byte, so paths
// with ".." or encoded separators reach the server exactly as written (a URL
// class would normalise them away). It trusts exactly one certificate.
class HttpsTestClient final
{
    Q_DISABLE_COPY_MOVE(HttpsTestClient)

public:
    explicit HttpsTestClient(const QSslCertificate &trusted);

    bool connectTo(quint16 port, const QString &peerName = QStringLiteral("127.0.0.1"), int timeoutMs = 5000);
    void send(const QByteArray &raw);
    // "METHOD target HTTP/1.1" with a Host field and the given extra lines.
    void sendRequest(const QByteArray &method, const QByteArray &target, const QByteArray &extraHeaderLines = {});
    // Reads one response; a HEAD response has headers only.
    std::optional<HttpResponse> readResponse(bool toHeadRequest = false, int timeoutMs = 5000);
    // Reads exactly count raw bytes of whatever follows.
    QByteArray readRaw(qint64 count, int timeoutMs = 5000);
    // True once the server has closed the connection and sent nothing more.
    bool waitForServerClose(int timeoutMs = 3000);

    QString errorString() const;
    QSslSocket &socket() { return m_socket; }

private:
    bool fill(int timeoutMs);

    QSslSocket m_socket;
    QByteArray m_pending;
};
