#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>

class QMediaPlayer;
class QNetworkAccessManager;
class QVideoWidget;
class QWidget;

namespace Tamberlyn::Platform {

class CertificatePins;
class PinnedMediaStream;

// One playing of one media file: its own download, on the one decoder and
// video area of the program. The decoder outlives its sessions: deleting a
// decoder that was stopped while it set itself up crashes the media backend
// (Qt 6.4 on GStreamer) or leaves the next media unable to start, while
// giving a live decoder a new source takes the old one apart safely.
class MediaSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MediaSession)

public:
    // Starts the media on `player`, which draws into `video` (hidden here).
    MediaSession(QNetworkAccessManager &network, const CertificatePins &pins, const QUrl &url,
                 QMediaPlayer &player, QVideoWidget &video, QObject *parent = nullptr);
    ~MediaSession() override;

    QWidget *videoArea() const;
    bool isPlaying() const;
    // Playing, or on its way to it: not failed, ended, or halted.
    bool isLive() const;
    bool hasFailed() const { return m_failed; }

    // Silences the session without waiting for the decoder to settle: the
    // decoder only pauses, the download stops, the video area hides, and the
    // session stops listening to the decoder. It is then only good for
    // deleting; the decoder waits, paused, for the next session's source.
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
    QMediaPlayer &m_player;
    QPointer<QVideoWidget> m_video;
    QPointer<PinnedMediaStream> m_stream;
    bool m_failed = false;
    bool m_halted = false;
};

} // namespace Tamberlyn::Platform
