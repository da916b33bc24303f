#pragma once

#include "mediacontrol.h"

#include <QObject>
#include <QSize>

#include <functional>

class QTimer;

namespace Tamberlyn::Platform {
class Clock;
class MediaPlayer;
}

namespace Tamberlyn::Navigation {

class PicAvi;

// Videos and sounds over the course page: the player WMP1 on its backdrop
// picAVI, the grace timer that lets a video get going and the watch that
// takes the backdrop down once the video no longer plays.
//
// A video goes idle -> starting (up to and through the one-second pause) ->
// grace (TimerPREavi) -> watched (TimerAVI) -> idle; a press on the backdrop
// or Esc goes straight back to idle from any of them.
class MediaController final : public QObject, public MediaControl
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MediaController)

public:
    // The measured area of the main window, ScreenWidth x ScreenHeight.
    using ScreenArea = std::function<QSize()>;

    MediaController(Platform::MediaPlayer &wmp1, PicAvi &picAVI, Platform::Clock &clock, ScreenArea screenArea,
                    QObject *parent = nullptr);
    ~MediaController() override;

    void playVideo(const QString &address) override;
    void playSound(const QString &address) override;

    // The backdrop over the whole measured area; the window's size
    // classification calls this each time it runs.
    void placeBackdrop(QSize screenArea);
    // Esc in the main window: stops a video or a sound as a press on the
    // backdrop does.
    void escapePressed();

    void TimerPREavi_Timer();
    void TimerAVI_Timer();
    void picAVI_MouseDown();

    const QTimer &timerPREavi() const { return *m_timerPREavi; }
    const QTimer &timerAVI() const { return *m_timerAVI; }

signals:
    // The video or sound at `address` will not play, for `reason`; its
    // backdrop is already gone.
    void mediaFailed(bool video, const QString &address, const QString &reason);

private:
    enum class StopForm { Watch, Click, Failure };
    void stopSequence(StopForm form);
    void onPlayerFailed(const QString &reason);
    void placePlayer(QSize screenArea);

    Platform::MediaPlayer &m_wmp1;
    PicAvi &m_picAVI;
    Platform::Clock &m_clock;
    ScreenArea m_screenArea;
    QTimer *m_timerPREavi;
    QTimer *m_timerAVI;
    // What plays now, or played last.
    QString m_address;
    bool m_video = false;
};

} // namespace Tamberlyn::Navigation
