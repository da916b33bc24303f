#pragma once

#include "platform/mediaplayer.h"

#include <QPointer>
#include <QRect>

class QMediaPlayer;
class QNetworkAccessManager;
class QVideoWidget;
class QWidget;

namespace Tamberlyn::Platform {

class CertificatePins;
class MediaSession;

// The media player on Qt Multimedia. Media are fetched over HTTPS by the
// program itself, under the same trust rule as the course pages, and fed
// to the decoder as they arrive; the decoder's own network source could not
// accept a pinned certificate.
//
// Nothing of the media engine is loaded until the first media plays, so
// instances that never play anything do not pay for it.
class QtMediaPlayer final : public MediaPlayer
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QtMediaPlayer)

public:
    // The video area is shown inside `window`, placed in its coordinates.
    QtMediaPlayer(const CertificatePins &pins, QWidget *window, QObject *parent = nullptr);
    ~QtMediaPlayer() override;

    void setAddress(const QString &address) override;
    QString address() const override { return m_address; }
    void play() override;
    void stop() override;
    bool isPlaying() const override;

    void setUiMode(UiMode mode) override;
    UiMode uiMode() const override { return m_mode; }

    void resize(QSize size) override;
    QSize size() const override { return m_geometry.size(); }
    void move(QPoint topLeft) override;
    QPoint position() const override { return m_geometry.topLeft(); }
    void setVisible(bool visible) override;
    bool isVisible() const override { return m_visible; }
    void raise() override;

    // The video area of the media playing now, if any.
    QWidget *videoArea() const;

private:
    void startEngine();
    void retire();
    void showVideoArea();
    void report();

    const CertificatePins &m_pins;
    QPointer<QWidget> m_window;
    QNetworkAccessManager *m_network = nullptr;
    // The one decoder and video area, made at the first play and kept.
    QMediaPlayer *m_decoder = nullptr;
    QPointer<QVideoWidget> m_video;
    MediaSession *m_session = nullptr;
    QString m_address;
    UiMode m_mode = UiMode::None;
    QRect m_geometry;
    bool m_visible = false;
    bool m_playing = false;
};

} // namespace Tamberlyn::Platform
