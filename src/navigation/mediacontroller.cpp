#include "mediacontroller.h"

#include "picavi.h"

#include "platform/clock.h"
#include "platform/mediaplayer.h"

#include <QLoggingCategory>
#include <QTimer>

#include <cmath>

namespace Tamberlyn::Navigation {

namespace {

Q_LOGGING_CATEGORY(lcMediaControl, "tamberlyn.media", QtInfoMsg)

constexpr int GraceMs = 5000;
constexpr int WatchMs = 500;
constexpr int PlayerTop = 50;

int nearest(float value)
{
    return static_cast<int>(std::lround(value));
}

} // namespace

MediaController::MediaController(Platform::MediaPlayer &wmp1, PicAvi &picAVI, Platform::Clock &clock,
                                 ScreenArea screenArea, QObject *parent)
    : QObject(parent)
    , m_wmp1(wmp1)
    , m_picAVI(picAVI)
    , m_clock(clock)
    , m_screenArea(std::move(screenArea))
    , m_timerPREavi(new QTimer(this))
    , m_timerAVI(new QTimer(this))
{
    m_timerPREavi->setObjectName(QStringLiteral("TimerPREavi"));
    m_timerPREavi->setInterval(GraceMs);
    m_timerPREavi->setSingleShot(true);
    m_timerAVI->setObjectName(QStringLiteral("TimerAVI"));
    m_timerAVI->setInterval(WatchMs);
    connect(m_timerPREavi, &QTimer::timeout, this, &MediaController::TimerPREavi_Timer);
    connect(m_timerAVI, &QTimer::timeout, this, &MediaController::TimerAVI_Timer);
    connect(&m_picAVI, &PicAvi::mouseDown, this, &MediaController::picAVI_MouseDown);
    connect(&m_wmp1, &Platform::MediaPlayer::failed, this, &MediaController::onPlayerFailed);
}

MediaController::~MediaController() = default;

void MediaController::playVideo(const QString &address)
{
    qCInfo(lcMediaControl).noquote() << "video" << address;
    // A watch still running belongs to the video this one replaces; left
    // on, it would find the new video still loading and stop it before its
    // grace period had even begun.
    m_timerAVI->stop();
    m_address = address;
    m_video = true;
    const QSize area = m_screenArea();
    placeBackdrop(area);
    m_picAVI.show();
    m_picAVI.raise();
    placePlayer(area);
    m_wmp1.setVisible(true);
    // Raised after the backdrop, so the backdrop never hides it.
    m_wmp1.raise();
    m_wmp1.setUiMode(Platform::MediaPlayer::UiMode::None);
    m_wmp1.setAddress(address);
    m_wmp1.play();
    // Events flow during the pause: the page behind the trigger completes
    // its own load here, and a press on the backdrop or Esc may already
    // stop the video. The grace timer starts regardless; the watch it
    // leads to then finds nothing playing and repeats the harmless stop.
    m_clock.waitSecond();
    m_timerPREavi->start();
}

void MediaController::playSound(const QString &address)
{
    qCInfo(lcMediaControl).noquote() << "sound" << address;
    m_address = address;
    m_video = false;
    m_wmp1.setUiMode(Platform::MediaPlayer::UiMode::Invisible);
    m_wmp1.setAddress(address);
    m_wmp1.play();
}

void MediaController::placeBackdrop(QSize screenArea)
{
    m_picAVI.setGeometry(0, 0, screenArea.width(), screenArea.height());
}

void MediaController::placePlayer(QSize screenArea)
{
    const auto width = static_cast<float>(screenArea.width());
    const auto height = static_cast<float>(screenArea.height());
    m_wmp1.resize(QSize(nearest(width * 0.6F), nearest(height * 0.7F)));
    // Centred by the width the player really took.
    const auto taken = static_cast<float>(m_wmp1.size().width());
    m_wmp1.move(QPoint(nearest(width / 2.0F - taken * 0.5F), PlayerTop));
}

void MediaController::TimerPREavi_Timer()
{
    m_timerPREavi->stop();
    m_timerAVI->start();
}

void MediaController::TimerAVI_Timer()
{
    if (m_wmp1.isPlaying())
        return;
    stopSequence(StopForm::Watch);
}

void MediaController::picAVI_MouseDown()
{
    stopSequence(StopForm::Click);
}

void MediaController::escapePressed()
{
    stopSequence(StopForm::Click);
}

void MediaController::onPlayerFailed(const QString &reason)
{
    // Nothing will play: the backdrop goes at once rather than after the
    // grace period, and the learner is told why.
    qCInfo(lcMediaControl).noquote() << "cannot play" << m_address << "-" << reason;
    stopSequence(StopForm::Failure);
    emit mediaFailed(m_video, m_address, reason);
}

void MediaController::stopSequence(StopForm form)
{
    static constexpr const char *by[] = {"the watch", "the learner", "its failure"};
    qCInfo(lcMediaControl).noquote() << "media stopped by" << by[static_cast<int>(form)];
    m_timerAVI->stop();
    // The watch form leaves the grace timer alone: it is already off.
    if (form != StopForm::Watch)
        m_timerPREavi->stop();
    m_wmp1.stop();
    m_wmp1.setUiMode(Platform::MediaPlayer::UiMode::Invisible);
    m_picAVI.hide();
}

} // namespace Tamberlyn::Navigation
