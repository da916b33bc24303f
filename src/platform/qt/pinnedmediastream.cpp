#include "pinnedmediastream.h"

#include "platform/certificatepins.h"

#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QSslError>

#include <algorithm>

namespace Tamberlyn::Platform {

namespace {

Q_LOGGING_CATEGORY(lcMediaFetch, "tamberlyn.media", QtInfoMsg)

// What the network may hold unread before it stops taking more from the
// server; a long video is then never kept in memory whole.
constexpr qint64 ReadAhead = 1024 * 1024;
// A server that goes quiet this long is given up on, so a stalled video
// ends instead of waiting for ever.
constexpr int QuietLimitMs = 30000;

} // namespace

PinnedMediaStream::PinnedMediaStream(QNetworkAccessManager &network, const CertificatePins &pins, const QUrl &url,
                                     QObject *parent)
    : QIODevice(parent)
    , m_pins(pins)
{
    QNetworkRequest request(url);
    // A redirect may not leave the host whose certificate was checked.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    request.setTransferTimeout(QuietLimitMs);
    // Over HTTP/2 the reply takes in the whole file, however slowly the
    // player reads: its read buffer size only holds back HTTP/1.1, where a
    // full buffer stops reading from the connection and the server waits.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    m_reply = network.get(request);
    m_reply->setParent(this);
    m_reply->setReadBufferSize(ReadAhead);
    connect(m_reply, &QNetworkReply::sslErrors, this, &PinnedMediaStream::onSslErrors);
    connect(m_reply, &QNetworkReply::readyRead, this, &PinnedMediaStream::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &PinnedMediaStream::onFinished);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

PinnedMediaStream::~PinnedMediaStream()
{
    // Aborting reports "finished" at once; nothing here should hear it.
    m_reply->disconnect(this);
    m_reply->abort();
}

qint64 PinnedMediaStream::bytesAvailable() const
{
    const qint64 body = m_accepted && !m_failed ? m_reply->bytesAvailable() : 0;
    return body + QIODevice::bytesAvailable();
}

qint64 PinnedMediaStream::readData(char *data, qint64 maxSize)
{
    if (!m_accepted || m_failed)
        return 0;
    const qint64 read = std::max<qint64>(m_reply->read(data, maxSize), 0);
    m_delivered += read;
    // The reader is still inside this call; it hears about the end later.
    if (m_reply->isFinished() && m_reply->bytesAvailable() == 0)
        QMetaObject::invokeMethod(this, &PinnedMediaStream::checkDrained, Qt::QueuedConnection);
    return read;
}

qint64 PinnedMediaStream::writeData(const char *, qint64)
{
    return -1;
}

void PinnedMediaStream::onSslErrors(const QList<QSslError> &errors)
{
    const QSslCertificate leaf = m_reply->sslConfiguration().peerCertificate();
    // Only the faults of the server's own certificate are forgiven, and
    // only when that certificate is the pinned one.
    const bool aboutLeaf = std::all_of(errors.cbegin(), errors.cend(),
                                       [&leaf](const QSslError &error) { return error.certificate() == leaf; });
    if (aboutLeaf && m_pins.accepts(m_reply->url(), leaf)) {
        m_reply->ignoreSslErrors(errors);
        return;
    }
    QStringList reasons;
    for (const QSslError &error : errors)
        reasons << error.errorString();
    qCWarning(lcMediaFetch).noquote() << "rejected certificate for" << m_reply->url().toDisplayString() << "-"
                                      << reasons.join(QStringLiteral("; ")) << "- SHA-256"
                                      << CertificatePins::formatFingerprint(CertificatePins::fingerprintOf(leaf));
}

void PinnedMediaStream::onReadyRead()
{
    if (m_failed)
        return;
    if (!m_accepted) {
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 200) {
            fail(statusAnswer(status));
            return;
        }
        m_accepted = true;
    }
    emit readyRead();
}

void PinnedMediaStream::onFinished()
{
    if (m_failed)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_reply->error() != QNetworkReply::NoError) {
        const bool nothingCame = m_delivered == 0 && (!m_accepted || m_reply->bytesAvailable() == 0);
        if (nothingCame) {
            fail(m_reply->errorString());
            return;
        }
        // Cut short: what came is played, and it ends where the data ends.
        qCWarning(lcMediaFetch).noquote() << "transfer of" << m_reply->url().toDisplayString()
                                          << "cut short:" << m_reply->errorString();
    } else if (!m_accepted) {
        if (status != 200) {
            fail(statusAnswer(status));
            return;
        }
        m_accepted = true;
    }
    checkDrained();
}

QString PinnedMediaStream::statusAnswer(int status) const
{
    // The server's own words for its status, as far as they are plain text.
    const QString phrase =
        QString::fromLatin1(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray())
            .simplified()
            .left(60);
    const bool plain = std::all_of(phrase.cbegin(), phrase.cend(), [](QChar c) { return c.isPrint(); });
    return plain && !phrase.isEmpty() ? QStringLiteral("the server answered %1 %2").arg(status).arg(phrase)
                                      : QStringLiteral("the server answered %1").arg(status);
}

void PinnedMediaStream::fail(const QString &reason)
{
    m_failed = true;
    m_reply->disconnect(this);
    // Not from inside the reply's own report: it may be settling an error
    // of its own right now.
    QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
    qCWarning(lcMediaFetch).noquote() << "cannot fetch" << m_reply->url().toDisplayString() << "-" << reason;
    emit failed(reason);
}

void PinnedMediaStream::checkDrained()
{
    if (m_drainedSent || m_failed || !m_accepted || !m_reply->isFinished() || m_reply->bytesAvailable() > 0)
        return;
    m_drainedSent = true;
    emit drained();
}

} // namespace Tamberlyn::Platform
