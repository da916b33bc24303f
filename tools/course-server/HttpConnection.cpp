#include "HttpConnection.h"

#include "ByteRange.h"
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

HttpConnection::HttpConnection(QSslSocket *socket, std::shared_ptr<const RootFileOpener> root, int headerTimeoutMs,
                               QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_root(std::move(root))
    , m_headerTimeoutMs(headerTimeoutMs)
{
    m_socket->setParent(this);
    // While a body is being sent, further pipelined requests wait in the
    // socket; this bounds how much of them it buffers.
    m_socket->setReadBufferSize(4 * kMaxHeadBytes);

    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &HttpConnection::onDeadline);
    m_deadline.start(m_headerTimeoutMs); // for the handshake

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
    });
    connect(m_socket, &QSslSocket::sslErrors, this, [](const QList<QSslError> &errors) {
        for (const QSslError &error : errors)
            qCDebug(lcServer) << "TLS error:" << error.errorString();
    });
}

HttpConnection::~HttpConnection() = default;

void HttpConnection::onEncrypted()
{
    if (m_state == State::Handshake)
        waitForHead();
}

void HttpConnection::waitForHead()
{
    m_state = State::ReadingHead;
    // Set once per request: bytes that trickle in do not extend it.
    m_deadline.start(m_headerTimeoutMs);
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
        break; // picked up once the current response is complete
    case State::Closing:
        m_socket->readAll(); // drained so closing does not turn into a reset
        break;
    }
}

void HttpConnection::onBytesWritten()
{
    // Only a client that takes what is sent keeps a response going.
    if (m_state == State::SendingBody || m_state == State::Closing)
        m_deadline.start(kSendStallTimeoutMs);
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
        if (m_buffer.isEmpty()) {
            qCDebug(lcServer) << "closing idle connection from" << m_socket->peerAddress().toString();
            drop();
            return;
        }
        {
            const auto [method, target] = requestLineWords(m_buffer);
            m_buffer.clear();
            sendError(408, method, target, false);
        }
        return;
    case State::SendingBody:
    case State::Closing:
        qCDebug(lcServer) << "client stopped reading:" << m_socket->peerAddress().toString();
        drop();
        return;
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
        if (m_buffer.size() <= kMaxHeadBytes)
            m_buffer += m_socket->read(kMaxHeadBytes + 1 - m_buffer.size());

        // Empty lines before a request line are tolerated (some clients send
        // an extra CRLF after a request).
        qsizetype skip = 0;
        while (skip < m_buffer.size() && (m_buffer[skip] == '\r' || m_buffer[skip] == '\n'))
            ++skip;
        m_buffer.remove(0, skip);
        if (m_buffer.isEmpty())
            return;

        const qsizetype headEnd = findRequestHeadEnd(m_buffer);
        if (headEnd < 0 && m_buffer.size() <= kMaxHeadBytes)
            return; // wait for the rest of the head
        if (headEnd < 0 || headEnd > kMaxHeadBytes) {
            const auto [method, target] = requestLineWords(m_buffer);
            m_buffer.clear();
            sendError(431, method, target, false);
            return;
        }
        const QByteArray head = m_buffer.left(headEnd);
        m_buffer.remove(0, headEnd);
        handleHead(head);
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
        sendError(405, request.method, request.target, keepAlive, false, QByteArrayLiteral("Allow"),
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
        sendError(refused ? 403 : 400, request.method, request.target, refused && keepAlive, headOnly);
        return;
    }

    ResolvedPath resolved = resolveInsideRoot(*m_root, path.segments);
    const QString shownPath = u'/' + path.segments.join(u'/');
    switch (resolved.outcome) {
    case ResolvedPath::Outcome::File:
        break;
    case ResolvedPath::Outcome::NotFound:
        sendError(404, request.method, request.target, keepAlive, headOnly);
        return;
    case ResolvedPath::Outcome::Refused:
        sendError(403, request.method, request.target, keepAlive, headOnly);
        return;
    case ResolvedPath::Outcome::Unavailable:
        // Out of file handles or memory: a passing state, not the file's.
        qCWarning(lcServer).noquote() << "cannot open" << shownPath << ':' << qt_error_string(resolved.error);
        sendError(503, request.method, request.target, keepAlive, headOnly, QByteArrayLiteral("Retry-After"),
                  QByteArrayLiteral("1"));
        return;
    }

    auto file = std::make_unique<QFile>();
    if (!file->open(resolved.file.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        qCWarning(lcServer).noquote() << "cannot read" << shownPath << ':' << file->errorString();
        sendError(500, request.method, request.target, false, headOnly);
        return;
    }
    resolved.file.release(); // the QFile closes it now
    const qint64 size = resolved.size;

    // Several Range fields make no sense together; answering with the whole
    // file is always allowed.
    const QList<QByteArray> rangeValues = request.headerValues("range");
    const ByteRange range = rangeValues.size() == 1 ? parseByteRange(rangeValues.first(), size) : ByteRange{};
    if (range.kind == ByteRange::Kind::Unsatisfiable) {
        sendError(416, request.method, request.target, keepAlive, headOnly, QByteArrayLiteral("Content-Range"),
                  "bytes */" + QByteArray::number(size));
        return;
    }

    const bool partial = range.kind == ByteRange::Kind::Partial;
    const qint64 first = partial ? range.first : 0;
    const qint64 length = partial ? range.length() : size;
    if (first > 0 && !file->seek(first)) {
        qCWarning(lcServer).noquote() << "cannot seek in" << shownPath << ':' << file->errorString();
        sendError(500, request.method, request.target, false, headOnly);
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
    m_state = State::SendingBody;
    m_deadline.start(kSendStallTimeoutMs);
    pumpBody();
}

void HttpConnection::sendHead(HttpResponseHead &head, const QByteArray &method, const QByteArray &target,
                              bool keepAlive)
{
    m_keepAlive = keepAlive;
    head.add("Connection", keepAlive ? QByteArrayLiteral("keep-alive") : QByteArrayLiteral("close"));
    m_socket->write(head.toByteArray());
    writeStdoutLine(formatRequestLogLine(method, target, head.status()));
}

void HttpConnection::sendError(int status, const QByteArray &method, const QByteArray &target, bool keepAlive,
                               bool headOnly, const QByteArray &extraName, const QByteArray &extraValue)
{
    const QByteArray body = errorBody(status);
    HttpResponseHead head(status);
    head.add("Content-Type", "text/plain; charset=utf-8");
    head.add("Content-Length", QByteArray::number(body.size()));
    if (!extraName.isEmpty())
        head.add(extraName, extraValue);
    sendHead(head, method, target, keepAlive);
    if (!headOnly)
        m_socket->write(body);
    finishResponse();
}

void HttpConnection::pumpBody()
{
    if (m_state != State::SendingBody)
        return;
    // Refill only while little is queued, encrypted or not: memory use per
    // connection stays around two chunks, whatever the file size.
    while (m_bodyRemaining > 0 && m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite() < kChunkBytes) {
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
    if (!m_keepAlive) {
        startClosing();
        return;
    }
    waitForHead();
}

void HttpConnection::startClosing()
{
    m_state = State::Closing;
    m_buffer.clear();
    m_socket->readAll();
    m_deadline.start(kSendStallTimeoutMs);
    // Sends what is still queued, then closes; disconnected() deletes us.
    m_socket->disconnectFromHost();
}
