#include "qtmediaplayer.h"

#include "mediasession.h"

#include <QAudioOutput>
#include <QLoggingCategory>
#include <QMediaPlayer>
#include <QNetworkAccessManager>
#include <QVideoWidget>
#include <QUrl>
#include <QWidget>

namespace Tamberlyn::Platform {

namespace {

Q_LOGGING_CATEGORY(lcMedia, "tamberlyn.media", QtInfoMsg)

// Half of full volume, the level the course's media were mixed for.
constexpr float DefaultVolume = 0.5F;

} // namespace

QtMediaPlayer::QtMediaPlayer(const CertificatePins &pins, QWidget *window, QObject *parent)
    : MediaPlayer(parent)
    , m_pins(pins)
    , m_window(window)
{
    Q_ASSERT(window);
}

QtMediaPlayer::~QtMediaPlayer()
{
    retire();
    if (m_decoder) {
        // Out of its media while it is whole, so nothing of the pipeline
        // reports to a decoder half destroyed; this may wait for the video
        // renderer, which only matters once, at the end.
        m_decoder->setSource(QUrl());
        delete m_decoder;
    }
    delete m_video.data();
}

void QtMediaPlayer::setAddress(const QString &address)
{
    retire();
    m_address = address;
    report();
}

void QtMediaPlayer::play()
{
    // A play while the media is on its way or playing changes nothing; it
    // does not start the media over.
    if (m_session && m_session->isLive())
        return;
    retire();
    const QUrl url(m_address);
    // Media come only the way pages come: over TLS.
    if (url.scheme() != QLatin1String("https") || url.host().isEmpty()) {
        qCWarning(lcMedia).noquote() << "not an https address, not played:" << m_address;
        report();
        emit failed(QStringLiteral("not an https address"));
        return;
    }
    qCInfo(lcMedia).noquote() << "fetching" << url.toDisplayString();
    startEngine();
    m_session = new MediaSession(*m_network, m_pins, url, *m_decoder, *m_video, this);
    connect(m_session, &MediaSession::changed, this, &QtMediaPlayer::report);
    connect(m_session, &MediaSession::failed, this, &QtMediaPlayer::failed);
    showVideoArea();
    report();
}

void QtMediaPlayer::stop()
{
    retire();
    report();
}

bool QtMediaPlayer::isPlaying() const
{
    return m_session && m_session->isPlaying();
}

void QtMediaPlayer::setUiMode(UiMode mode)
{
    m_mode = mode;
    showVideoArea();
}

void QtMediaPlayer::resize(QSize size)
{
    m_geometry.setSize(size.expandedTo(QSize(0, 0)));
    showVideoArea();
}

void QtMediaPlayer::move(QPoint topLeft)
{
    m_geometry.moveTopLeft(topLeft);
    showVideoArea();
}

void QtMediaPlayer::setVisible(bool visible)
{
    m_visible = visible;
    showVideoArea();
}

void QtMediaPlayer::raise()
{
    if (QWidget *area = videoArea())
        area->raise();
}

void QtMediaPlayer::startEngine()
{
    if (m_decoder)
        return;
    // How a stream read piece by piece ends, and how a decoder is best let
    // go, were worked out on GStreamer; another backend is used only when
    // asked for by name.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    m_network = new QNetworkAccessManager(this);
    m_decoder = new QMediaPlayer;
    auto *audio = new QAudioOutput(m_decoder);
    audio->setVolume(DefaultVolume);
    m_decoder->setAudioOutput(audio);
    m_video = new QVideoWidget(m_window);
    m_video->hide();
    m_decoder->setVideoOutput(m_video.data());
}

QWidget *QtMediaPlayer::videoArea() const
{
    return m_session ? m_session->videoArea() : nullptr;
}

void QtMediaPlayer::retire()
{
    if (!m_session)
        return;
    MediaSession *old = m_session;
    m_session = nullptr;
    old->disconnect(this);
    old->halt();
    old->deleteLater();
}

void QtMediaPlayer::showVideoArea()
{
    QWidget *area = videoArea();
    if (!area)
        return;
    area->setGeometry(m_geometry);
    // "Invisible" shows nothing at all, whatever the player's own
    // visibility says; the video area alone is all "none" shows.
    const bool shown = m_visible && m_mode == UiMode::None;
    // Shown, it goes in front of everything in the window, the backdrop
    // included.
    if (shown && !area->isVisible())
        area->raise();
    area->setVisible(shown);
}

void QtMediaPlayer::report()
{
    const bool playing = isPlaying();
    if (playing == m_playing)
        return;
    m_playing = playing;
    qCInfo(lcMedia).noquote() << (playing ? "playing" : "not playing") << m_address;
    emit playingChanged(playing);
}

} // namespace Tamberlyn::Platform
