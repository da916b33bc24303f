#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QFile;
class QSslSocket;
class HttpResponseHead;
struct HttpRequest;

// One client connection: reads request heads, answers GET and HEAD from the
// web root and streams file bodies in chunks as the socket drains, so a large
// video never sits in memory whole. Requests on a kept-alive connection are
// answered one after another, in order. Deletes itself when the socket closes.
class HttpConnection final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpConnection)

public:
    // Takes ownership of socket, which must already be connected.
    HttpConnection(QSslSocket *socket, const QString &canonicalRoot, QObject *parent = nullptr);
    ~HttpConnection() override;

    static constexpr qsizetype kMaxHeadBytes = 16 * 1024;

private:
    enum class State { ReadingHead, SendingBody, Closing };

    void onReadyRead();
    void processBuffer();
    void handleHead(const QByteArray &head);
    void answer(const HttpRequest &request, bool keepAlive);
    void sendError(int status, const QByteArray &method, const QByteArray &target, bool keepAlive,
                   bool headOnly = false, const QByteArray &extraName = {}, const QByteArray &extraValue = {});
    void sendHead(HttpResponseHead &head, const QByteArray &method, const QByteArray &target, bool keepAlive);
    void pumpBody();
    void finishResponse();
    void startClosing();

    QSslSocket *m_socket;
    QString m_root;
    State m_state = State::ReadingHead;
    QByteArray m_buffer;
    std::unique_ptr<QFile> m_body;
    qint64 m_bodyRemaining = 0;
    bool m_keepAlive = true;
    QTimer m_idleTimer;
};
