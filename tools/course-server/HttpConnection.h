#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QFile;
class QSslSocket;
class HttpResponseHead;
class RootFileOpener;
struct HttpRequest;

// One client connection: reads request heads, answers GET and HEAD from the
// web root and streams file bodies in chunks as the socket drains, so a large
// video never sits in memory whole. Requests on a kept-alive connection are
// answered one after another, in order. Deletes itself when the socket closes.
//
// Every phase has a deadline that trickling bytes cannot push back: the TLS
// handshake and each request head must be complete within the header
// timeout; a response must keep draining (60 s without progress ends it).
class HttpConnection final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpConnection)

public:
    // Takes ownership of socket, which must already be connected; its TLS
    // handshake starts after this returns.
    HttpConnection(QSslSocket *socket, std::shared_ptr<const RootFileOpener> root, int headerTimeoutMs,
                   QObject *parent = nullptr);
    ~HttpConnection() override;

    static constexpr qsizetype kMaxHeadBytes = 16 * 1024;
    // A client that reads nothing of a response for this long is dropped.
    static constexpr int kSendStallTimeoutMs = 60 * 1000;

private:
    enum class State { Handshake, ReadingHead, SendingBody, Closing };

    void onEncrypted();
    void onReadyRead();
    void onBytesWritten();
    void onDeadline();
    void waitForHead();
    void processBuffer();
    void handleHead(const QByteArray &head);
    void answer(const HttpRequest &request, bool keepAlive);
    void sendError(int status, const QByteArray &method, const QByteArray &target, bool keepAlive,
                   bool headOnly = false, const QByteArray &extraName = {}, const QByteArray &extraValue = {});
    void sendHead(HttpResponseHead &head, const QByteArray &method, const QByteArray &target, bool keepAlive);
    void pumpBody();
    void finishResponse();
    void startClosing();
    void drop();

    QSslSocket *m_socket;
    std::shared_ptr<const RootFileOpener> m_root;
    int m_headerTimeoutMs;
    State m_state = State::Handshake;
    QByteArray m_buffer;
    std::unique_ptr<QFile> m_body;
    QString m_bodyPath; // for diagnostics
    qint64 m_bodyRemaining = 0;
    bool m_keepAlive = true;
    QTimer m_deadline;
};
