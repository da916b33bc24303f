#pragma once

#include <QIODevice>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QSslError;

namespace Tamberlyn::Platform {

class CertificatePins;

// The body of one media file as it arrives over HTTPS, for a player to read
// while the rest is still on its way. The server is trusted as the browser
// pane trusts it: by the system's authorities, or by the certificate pinned
// for its host. Nothing but a 200 answer's body is ever readable, so an
// error page never reaches a decoder.
class PinnedMediaStream final : public QIODevice
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PinnedMediaStream)

public:
    // Starts the request at once; the stream is open for reading.
    PinnedMediaStream(QNetworkAccessManager &network, const CertificatePins &pins, const QUrl &url,
                      QObject *parent = nullptr);
    ~PinnedMediaStream() override;

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

    bool hasFailed() const { return m_failed; }
    qint64 bytesDelivered() const { return m_delivered; }

signals:
    // Nothing playable will come: refused certificate, an answer other than
    // 200, or a network failure before any of the body arrived.
    void failed(const QString &reason);
    // The transfer has ended and every byte that came was read; a transfer
    // cut short after some of the body ends this way too.
    void drained();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    void onSslErrors(const QList<QSslError> &errors);
    void onReadyRead();
    void onFinished();
    void fail(const QString &reason);
    void checkDrained();
    // "the server answered 404 Not Found"
    QString statusAnswer(int status) const;

    const CertificatePins &m_pins;
    QNetworkReply *m_reply;
    bool m_accepted = false;
    bool m_failed = false;
    bool m_drainedSent = false;
    qint64 m_delivered = 0;
};

} // namespace Tamberlyn::Platform
