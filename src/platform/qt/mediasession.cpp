#include "mediasession.h"

#include "pinnedmediastream.h"

#include <QLoggingCategory>
#include <QMediaPlayer>
#include <QVideoWidget>

namespace Tamberlyn::Platform {

namespace {

Q_LOGGING_CATEGORY(lcMediaSession, "tamberlyn.media", QtInfoMsg)

} // namespace

MediaSession::MediaSession(QNetworkAccessManager &network, const CertificatePins &pins, const QUrl &url,
                           QMediaPlayer &player, QVideoWidget &video, QObject *parent)
    : QObject(parent)
    , m_url(url)
    , m_player(player)
    , m_video(&video)
    , m_stream(new PinnedMediaStream(network, pins, url, this))
{
    m_video->hide();

    connect(&m_player, &QMediaPlayer::playbackStateChanged, this, &MediaSession::changed);
    connect(&m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia)
            fail(QStringLiteral("the media cannot be played"));
        emit changed();
    });
    // The decoder reports its faults but stays in the playing state; a
    // fault here means the media will not play.
    connect(&m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString &message) { fail(message); });
    connect(m_stream, &PinnedMediaStream::failed, this, &MediaSession::fail);
    // The decoder learns that a stream read piece by piece has ended only
    // when the stream goes away.
    connect(m_stream, &PinnedMediaStream::drained, this, &MediaSession::dropStream);

    // The address is given along only to name the media; the data comes
    // from the stream. A new source takes the last session's media out of
    // the decoder.
    m_player.setSourceDevice(m_stream, url);
    m_player.play();
}

MediaSession::~MediaSession()
{
    halt();
}

QWidget *MediaSession::videoArea() const
{
    return m_video.data();
}

bool MediaSession::isLive() const
{
    return !m_failed && !m_halted && m_player.playbackState() == QMediaPlayer::PlayingState;
}

bool MediaSession::isPlaying() const
{
    // Loading counts as not playing: a video that has not got going by the
    // end of its grace period is taken down by the watch.
    return isLive() && m_player.mediaStatus() == QMediaPlayer::BufferedMedia;
}

void MediaSession::halt()
{
    if (m_halted)
        return;
    m_halted = true;
    m_player.disconnect(this);
    // Stopping would wait for the decoder to settle, which takes the video
    // renderer up to a second while it waits for this very thread.
    if (m_player.playbackState() == QMediaPlayer::PlayingState)
        m_player.pause();
    // The video area lives in the course window, which may go first.
    if (m_video)
        m_video->hide();
    dropStream();
}

void MediaSession::fail(const QString &reason)
{
    if (m_failed)
        return;
    m_failed = true;
    qCInfo(lcMediaSession).noquote() << "cannot play" << m_url.toDisplayString() << "-" << reason;
    dropStream();
    // Out of the decoder's own report first; pausing is what quiets it
    // without waiting.
    QMetaObject::invokeMethod(
        this,
        [this] {
            // A halted session no longer owns the decoder: the next one may.
            if (!m_halted && m_player.playbackState() == QMediaPlayer::PlayingState)
                m_player.pause();
        },
        Qt::QueuedConnection);
    emit failed(reason);
    emit changed();
}

void MediaSession::dropStream()
{
    if (m_stream) {
        m_stream->disconnect(this);
        m_stream->deleteLater();
        m_stream = nullptr;
    }
}

} // namespace Tamberlyn::Platform
