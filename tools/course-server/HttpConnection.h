#pragma once

#include "ConnectionLimits.h"
#include "RequestFramer.h"

#include <QByteArray>
#include <QElapsedTimer>
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
// timeout; what is sent must keep draining (the send deadline without
// progress ends it).
//
// Memory per connection stays bounded whatever the client does: one request
// head at most is read ahead, a body is read from its file only as the
// socket drains, and no further request is read while the answers waiting
// to be sent pass kMaxQueuedBytes. A client that pipelines a million HEADs
// and reads nothing gets answers until that bound, then waits in the
// socket, and is dropped when the send deadline passes.
class HttpConnection final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpConnection)

public:
    // Takes ownership of socket, which must already be connected; its TLS
    // handshake starts after this returns.
    HttpConnection(QSslSocket *socket, std::shared_ptr<const RootFileOpener> root, const ConnectionLimits &limits,
                   QObject *parent = nullptr);
    ~HttpConnection() override;

    static constexpr qsizetype kMaxHeadBytes = RequestFramer::kMaxHeadBytes;
    static constexpr qint64 kMaxQueuedBytes = 64 * 1024;

    // Whether the server may drop this connection for a new client (see
    // ConnectionLimits::slowAfterMs), and how long it has been in its
    // present phase; -1 when it may not.
    qint64 evictableForMs() const;
    // Drops the connection for a newcomer.
    void evict();

private:
    enum class State { Handshake, ReadingHead, SendingBody, Draining, Closing };

    void onEncrypted();
    void onReadyRead();
    void onBytesWritten();
    void onDeadline();
    void onPeerClosedTls();
    void waitForHead();
    void processBuffer();
    void handleHead(const QByteArray &head);
    void answer(const HttpRequest &request, bool keepAlive);
    void sendError(int status, const QByteArray &method, const QByteArray &target, bool keepAlive,
                   const QByteArray &extraName = {}, const QByteArray &extraValue = {});
    void sendHead(HttpResponseHead &head, const QByteArray &method, const QByteArray &target, bool keepAlive);
    void pumpBody();
    void finishResponse();
    void startClosing();
    void drop();
    qint64 queuedBytes() const;
    void enterPhase(State state);

    QSslSocket *m_socket;
    std::shared_ptr<const RootFileOpener> m_root;
    ConnectionLimits m_limits;
    State m_state = State::Handshake;
    RequestFramer m_framer;
    std::unique_ptr<QFile> m_body;
    QString m_bodyPath; // for diagnostics
    qint64 m_bodyRemaining = 0;
    bool m_keepAlive = true;
    // The client sent TLS close_notify: it asks for nothing more.
    bool m_peerDone = false;
    QTimer m_deadline;
    QElapsedTimer m_phase;
};
