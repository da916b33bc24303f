#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>

class QAudioOutput;
class QMediaPlayer;
class QNetworkAccessManager;
class QVideoWidget;
class QWidget;

namespace Tamberlyn::Platform {

class CertificatePins;
class PinnedMediaStream;

// One playing of one media file: its own download, decoder, audio output
// and video area. A new file gets a new session, so an old pipeline never
// shares its outputs with the next one and can be let go without waiting
// for it.
class MediaSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MediaSession)

public:
    // The video area is made a child of `videoParent`, hidden.
    MediaSession(QNetworkAccessManager &network, const CertificatePins &pins, const QUrl &url,
                 QWidget *videoParent, QObject *parent = nullptr);
    ~MediaSession() override;

    QWidget *videoArea() const;
    bool isPlaying() const;
    // Playing, or on its way to it: not failed, ended, or halted.
    bool isLive() const;
    bool hasFailed() const { return m_failed; }

    // Silences the session without waiting for the decoder to settle: the
    // decoder only pauses, the download stops, the video area hides. The
    // session is then only good for deleting, which is quick a moment later.
    void halt();

signals:
    // isPlaying() may have changed.
    void changed();
    // The media will not play: it could not be fetched or not be decoded.
    void failed(const QString &reason);

private:
    void fail(const QString &reason);
    void dropStream();

    QUrl m_url;
    QMediaPlayer *m_player;
    QAudioOutput *m_audio;
    QPointer<QVideoWidget> m_video;
    QPointer<PinnedMediaStream> m_stream;
    bool m_failed = false;
    bool m_halted = false;
};

} // namespace Tamberlyn::Platform
