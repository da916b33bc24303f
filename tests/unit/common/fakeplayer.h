#pragma once

#include "platform/mediaplayer.h"

#include <QPoint>
#include <QSize>
#include <QStringList>
#include <QWidget>

// A media player that records what it is told. Its video area is a real sibling
// of the backdrop, so the tests can see which one is in front.
class FakePlayer final : public Tamberlyn::Platform::MediaPlayer
{
public:
    FakePlayer(QStringList &events, QWidget *window) : area(new QWidget(window)), m_events(events) {}

    QWidget *area;
    bool playing = false;
    int widthStep = 1; // the player takes widths in steps of this many pixels

    void setAddress(const QString &address) override
    {
        m_address = address;
        m_events << QStringLiteral("address ") + address;
    }
    QString address() const override { return m_address; }
    void play() override { m_events << QStringLiteral("play"); }
    void stop() override
    {
        playing = false;
        m_events << QStringLiteral("stop");
    }
    bool isPlaying() const override { return playing; }
    void setUiMode(UiMode mode) override
    {
        m_mode = mode;
        m_events << (mode == UiMode::None ? QStringLiteral("mode none") : QStringLiteral("mode invisible"));
    }
    UiMode uiMode() const override { return m_mode; }
    void resize(QSize size) override
    {
        m_size = QSize(size.width() / widthStep * widthStep, size.height());
        m_events << QStringLiteral("size %1x%2").arg(size.width()).arg(size.height());
    }
    QSize size() const override { return m_size; }
    void move(QPoint topLeft) override
    {
        m_position = topLeft;
        m_events << QStringLiteral("move %1,%2").arg(topLeft.x()).arg(topLeft.y());
    }
    QPoint position() const override { return m_position; }
    void setVisible(bool visible) override
    {
        m_visible = visible;
        m_events << (visible ? QStringLiteral("visible") : QStringLiteral("hidden"));
    }
    bool isVisible() const override { return m_visible; }
    void raise() override
    {
        area->raise();
        m_events << QStringLiteral("raise");
    }

private:
    QStringList &m_events;
    QString m_address;
    UiMode m_mode = UiMode::None;
    QSize m_size;
    QPoint m_position;
    bool m_visible = false;
};
