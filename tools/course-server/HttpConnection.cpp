#include "HttpConnection.h"

#include "ByteRange.h"
#include "ConnectionLimits.h"
#include "HttpRequest.h"
#include "HttpResponseHead.h"
#include "MimeTypes.h"
#include "PathResolver.h"
#include "RequestLog.h"
#include "RequestPath.h"
#include "RootFileOpener.h"
#include "ServerLogging.h"

#include <QFile>
#include <QSslSocket>

namespace {

constexpr qint64 kChunkBytes = 64 * 1024;

QByteArray errorBody(int status)
{
    return QByteArray::number(status) + ' ' + HttpResponseHead::reasonPhrase(status) + '\n';
}

} // namespace

HttpConnection::HttpConnection(QSslSocket *socket, std::shared_ptr<const RootFileOpener> root,
                               const ConnectionLimits &limits, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_root(std::move(root))
    , m_limits(limits)
{
    m_socket->setParent(this);
    // Pipelined requests wait in the socket while one is answered; this
    // bounds how much of them it buffers before TCP holds the client back.
    m_socket->setReadBufferSize(4 * kMaxHeadBytes);

    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &HttpConnection::onDeadline);
    m_deadline.start(m_limits.headerTimeoutMs); // for the handshake
    m_phase.start();

    connect(m_socket, &QSslSocket::encrypted, this, &HttpConnection::onEncrypted);
    connect(m_socket, &QSslSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(m_socket, &QSslSocket::bytesWritten, this, &HttpConnection::onBytesWritten);
    connect(m_socket, &QSslSocket::encryptedBytesWritten, this, &HttpConnection::onBytesWritten);
    connect(m_socket, &QSslSocket::disconnected, this, &QObject::deleteLater);
    connect(m_socket, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            qCDebug(lcServer) << "connection error:" << m_socket->errorString();
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            deleteLater();
        // The peer's TLS close_notify: the connection itself is still up.
        else if (error == QAbstractSocket::RemoteHostClosedError)
            onPeerClosedTls();
    });
    connect(m_socket, &QSslSocket::sslErrors, this, [](const QList<QSslError> &errors) {
        for (const QSslError &error : errors)
            qCDebug(lcServer) << "TLS error:" << error.errorString();
    });
}

HttpConnection::~HttpConnection() = default;

qint64 HttpConnection::queuedBytes() const
{
    return m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite();
}

void HttpConnection::enterPhase(State state)
{
    m_state = state;
    m_phase.restart();
}

qint64 HttpConnection::evictableForMs() const
{
    const qint64 elapsed = m_phase.elapsed();
    const bool pastGrace = elapsed >= m_limits.slowAfterMs;
    switch (m_state) {
    case State::Handshake:
        return pastGrace ? elapsed : -1;
    case State::ReadingHead:
        // Between requests, with nothing asked and nothing left to send.
        if (m_framer.isEmpty() && m_socket->bytesAvailable() == 0 && queuedBytes() == 0)
            return elapsed;
        return pastGrace ? elapsed : -1; // a head trickling in
    case State::SendingBody:
    case State::Draining:
    case State::Closing:
        break;
    }
    return -1;
}

void HttpConnection::evict()
{
    qCDebug(lcServer) << "dropping a connection that asks nothing, for a new client:"
                      << m_socket->peerAddress().toString();
    // A kept-alive connection between requests is closed as any idle one
    // is, so its client knows; anything else is cut off.
    if (m_state == State::ReadingHead && m_framer.isEmpty())
        startClosing();
    else
        drop();
}

void HttpConnection::onEncrypted()
{
    if (m_state == State::Handshake)
        waitForHead();
}

void HttpConnection::waitForHead()
{
    enterPhase(State::ReadingHead);
    // Set once per request: bytes that trickle in do not extend it.
    m_deadline.start(m_limits.headerTimeoutMs);
    // Queued, so a burst of pipelined requests is a loop through the event
    // loop rather than a recursion.
    QMetaObject::invokeMethod(this, &HttpConnection::processBuffer, Qt::QueuedConnection);
}

void HttpConnection::onReadyRead()
{
    switch (m_state) {
    case State::Handshake:
        break;
    case State::ReadingHead:
        processBuffer();
        break;
    case State::SendingBody:
    case State::Draining:
        break; // picked up once the answers before it are out
    case State::Closing:
        m_socket->readAll(); // drained so closing does not turn into a reset
        break;
    }
}

void HttpConnection::onBytesWritten()
{
    // Only a client that takes what is sent keeps a response going.
    if (m_state == State::SendingBody || m_state == State::Draining || m_state == State::Closing)
        m_deadline.start(m_limits.sendStallTimeoutMs);
    if (m_state == State::Draining && queuedBytes() <= kMaxQueuedBytes) {
        waitForHead();
        return;
    }
    pumpBody();
}

void HttpConnection::onDeadline()
{
    switch (m_state) {
    case State::Handshake:
        qCDebug(lcServer) << "TLS handshake not finished in time by" << m_socket->peerAddress().toString();
        drop();
        return;
    case State::ReadingHead:
        if (m_framer.isEmpty()) {
            qCDebug(lcServer) << "closing idle connection from" << m_socket->peerAddress().toString();
            drop();
            return;
        }
        {
            const auto [method, target] = requestLineWords(m_framer.takePending());
            sendError(408, method, target, false);
        }
        return;
    case State::SendingBody:
    case State::Draining:
    case State::Closing:
        qCDebug(lcServer) << "client stopped reading:" << m_socket->peerAddress().toString();
        drop();
        return;
    }
}

void HttpConnection::onPeerClosedTls()
{
    // A client that ends its side of the TLS session asks nothing more:
    // what it sent before is answered, then the connection closes, as
    // nginx does, instead of waiting for the client to close TCP too.
    if (m_peerDone)
        return;
    m_peerDone = true;
    qCDebug(lcServer) << "client ended its TLS session:" << m_socket->peerAddress().toString();
    switch (m_state) {
    case State::Handshake:
        drop();
        return;
    case State::ReadingHead:
        processBuffer();
        return;
    case State::SendingBody:
    case State::Draining:
    case State::Closing:
        return; // finishResponse() or the drain closes
    }
}

void HttpConnection::drop()
{
    m_state = State::Closing;
    m_deadline.stop();
    m_body.reset();
    m_socket->abort();
    deleteLater();
}

void HttpConnection::processBuffer()
{
    while (m_state == State::ReadingHead) {
        // Answers the client has not taken yet hold up the next request:
        // it waits in the socket, and TCP holds the client back.
        if (queuedBytes() > kMaxQueuedBytes) {
            enterPhase(State::Draining);
            m_deadline.start(m_limits.sendStallTimeoutMs);
            return;
        }
        m_framer.append(m_socket->read(m_framer.wanted()));
        RequestFramer::Next next = m_framer.next();
        switch (next.kind) {
        case RequestFramer::Next::Kind::NeedMore:
            if (m_peerDone)
                startClosing();
            return;
        case RequestFramer::Next::Kind::TooLarge: {
            const auto [method, target] = requestLineWords(next.head);
            sendError(431, method, target, false);
            return;
        }
        case RequestFramer::Next::Kind::Head:
            handleHead(next.head);
            break;
        }
    }
}

void HttpConnection::handleHead(const QByteArray &head)
{
    const RequestHeadParse parsed = parseRequestHead(head);
    if (parsed.status != RequestHeadParse::Status::Ok) {
        const auto [method, target] = requestLineWords(head);
        const int status = parsed.status == RequestHeadParse::Status::UnsupportedVersion ? 505 : 400;
        sendError(status, method, target, false);
        return;
    }
    const HttpRequest &request = parsed.request;
    if (!request.hasValidHost()) {
        sendError(400, request.method, request.target, false);
        return;
    }
    // Request bodies are never read, so after one the stream position of the
    // next request is unknown: answer, then close.
    const bool keepAlive = request.wantsKeepAlive() && !request.hasBody();
    if (request.method != "GET" && request.method != "HEAD") {
        sendError(405, request.method, request.target, keepAlive, QByteArrayLiteral("Allow"),
                  QByteArrayLiteral("GET, HEAD"));
        return;
    }
    answer(request, keepAlive);
}

void HttpConnection::answer(const HttpRequest &request, bool keepAlive)
{
    const bool headOnly = request.method == "HEAD";
    const RequestPath path = decodeRequestPath(request.target);
    if (path.outcome != RequestPath::Outcome::Ok) {
        // A target that does not even decode comes from a confused client:
        // do not trust the rest of its stream either.
        const bool refused = path.outcome == RequestPath::Outcome::Refused;
        sendError(refused ? 403 : 400, request.method, request.target, refused && keepAlive);
        return;
    }

    ResolvedPath resolved = resolveInsideRoot(*m_root, path.segments);
    const QString shownPath = u'/' + path.segments.join(u'/');
    switch (resolved.outcome) {
    case ResolvedPath::Outcome::File:
        break;
    case ResolvedPath::Outcome::NotFound:
        sendError(404, request.method, request.target, keepAlive);
        return;
    case ResolvedPath::Outcome::Refused:
        sendError(403, request.method, request.target, keepAlive);
        return;
    case ResolvedPath::Outcome::Unavailable:
        // Out of file handles or memory: a passing state, not the file's.
        qCWarning(lcServer).noquote() << "cannot open" << shownPath << ':' << qt_error_string(resolved.error);
        sendError(503, request.method, request.target, keepAlive, QByteArrayLiteral("Retry-After"),
                  QByteArrayLiteral("1"));
        return;
    }

    auto file = std::make_unique<QFile>();
    if (!file->open(resolved.file.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        qCWarning(lcServer).noquote() << "cannot read" << shownPath << ':' << file->errorString();
        sendError(500, request.method, request.target, false);
        return;
    }
    resolved.file.release(); // the QFile closes it now
    const qint64 size = resolved.size;

    const ByteRange range = requestedRange(request, size);
    if (range.kind == ByteRange::Kind::Unsatisfiable) {
        sendError(416, request.method, request.target, keepAlive, QByteArrayLiteral("Content-Range"),
                  "bytes */" + QByteArray::number(size));
        return;
    }

    const bool partial = range.kind == ByteRange::Kind::Partial;
    const qint64 first = partial ? range.first : 0;
    const qint64 length = partial ? range.length() : size;
    if (first > 0 && !file->seek(first)) {
        qCWarning(lcServer).noquote() << "cannot seek in" << shownPath << ':' << file->errorString();
        sendError(500, request.method, request.target, false);
        return;
    }

    HttpResponseHead head(partial ? 206 : 200);
    head.add("Content-Type", contentTypeForFileName(resolved.name));
    head.add("Content-Length", QByteArray::number(length));
    head.add("Accept-Ranges", "bytes");
    if (partial) {
        head.add("Content-Range", "bytes " + QByteArray::number(range.first) + '-' + QByteArray::number(range.last)
                                      + '/' + QByteArray::number(size));
    }
    sendHead(head, request.method, request.target, keepAlive);

    if (headOnly || length == 0) {
        finishResponse();
        return;
    }
    m_body = std::move(file);
    m_bodyPath = shownPath;
    m_bodyRemaining = length;
    enterPhase(State::SendingBody);
    m_deadline.start(m_limits.sendStallTimeoutMs);
    pumpBody();
}

void HttpConnection::sendHead(HttpResponseHead &head, const QByteArray &method, const QByteArray &target,
                              bool keepAlive)
{
    m_keepAlive = keepAlive;
    head.add("Connection", keepAlive && !m_peerDone ? QByteArrayLiteral("keep-alive") : QByteArrayLiteral("close"));
    m_socket->write(head.toByteArray());
    writeStdoutLine(formatRequestLogLine(method, target, head.status()));
}

void HttpConnection::sendError(int status, const QByteArray &method, const QByteArray &target, bool keepAlive,
                               const QByteArray &extraName, const QByteArray &extraValue)
{
    const QByteArray body = errorBody(status);
    HttpResponseHead head(status);
    head.add("Content-Type", "text/plain; charset=utf-8");
    head.add("Content-Length", QByteArray::number(body.size()));
    if (!extraName.isEmpty())
        head.add(extraName, extraValue);
    sendHead(head, method, target, keepAlive);
    // An answer to HEAD never has a body, errors included: the client would
    // read it as the start of the next answer.
    if (method != "HEAD")
        m_socket->write(body);
    finishResponse();
}

void HttpConnection::pumpBody()
{
    if (m_state != State::SendingBody)
        return;
    // Refill only while little is queued, encrypted or not: memory use per
    // connection stays around two chunks, whatever the file size.
    while (m_bodyRemaining > 0 && queuedBytes() < kChunkBytes) {
        const QByteArray chunk = m_body->read(qMin(kChunkBytes, m_bodyRemaining));
        if (chunk.isEmpty()) {
            // The file shrank or failed after its length was promised; the
            // client can only notice through the connection ending early.
            qCWarning(lcServer).noquote() << "cannot read" << m_bodyPath << ':' << m_body->errorString();
            drop();
            return;
        }
        m_socket->write(chunk);
        m_bodyRemaining -= chunk.size();
    }
    if (m_bodyRemaining == 0) {
        m_body.reset();
        finishResponse();
    }
}

void HttpConnection::finishResponse()
{
    if (!m_keepAlive || m_peerDone) {
        startClosing();
        return;
    }
    waitForHead();
}

void HttpConnection::startClosing()
{
    enterPhase(State::Closing);
    m_framer.takePending();
    m_socket->readAll();
    m_deadline.start(m_limits.sendStallTimeoutMs);
    // Sends what is still queued, then closes; disconnected() deletes us.
    m_socket->disconnectFromHost();
}
