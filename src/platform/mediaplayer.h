#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

namespace Tamberlyn::Platform {

// The media player over the course page (WMP1): plays one video or sound
// from a web address, in a place and size the main window chooses.
class MediaPlayer : public QObject
{
    Q_OBJECT

public:
    // What the player shows of itself: the video area only, or nothing.
    enum class UiMode { None, Invisible };

    using QObject::QObject;
    ~MediaPlayer() override = default;

    // The address to play next; kept after the media ends or stops, until
    // the next one replaces it. Replacing it ends whatever plays now.
    virtual void setAddress(const QString &address) = 0;
    virtual QString address() const = 0;
    virtual void play() = 0;
    virtual void stop() = 0;
    // True only while the media actually plays: not while it is still
    // loading, after it has ended, or when it could not be fetched.
    virtual bool isPlaying() const = 0;

    virtual void setUiMode(UiMode mode) = 0;
    virtual UiMode uiMode() const = 0;

    virtual void resize(QSize size) = 0;
    // The size the player really took, which may differ from the one asked.
    virtual QSize size() const = 0;
    virtual void move(QPoint topLeft) = 0;
    virtual QPoint position() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    // In front of the other controls of the window it sits in.
    virtual void raise() = 0;

signals:
    // isPlaying() may have changed.
    void playingChanged(bool playing);
    // The media of the last play will not play: it could not be fetched,
    // its address is not an https one, or it could not be decoded. `reason`
    // says which, in a few words.
    void failed(const QString &reason);
};

} // namespace Tamberlyn::Platform
