#pragma once

#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>

class LaggyRelay;

// A slow link on loopback, for the viewer to reach the course server
// through: a TCP relay in a thread of its own that holds every chunk it
// passes on for `delayMs` in each direction (two of them make a round trip)
// and, like a lost packet waiting for its resend, holds one chunk in a
// hundred `stallPercent` times for `stallMs` longer. hang() holds
// everything, old connections and new, until it is let go.
class LaggyLink final
{
    Q_DISABLE_COPY_MOVE(LaggyLink)

public:
    struct Shape
    {
        int delayMs = 400;
        int stallPercent = 2;
        int stallMs = 1000;
    };

    LaggyLink(quint16 upstreamPort, Shape shape);
    ~LaggyLink();

    // The port the viewer connects to; 0 when the relay could not listen.
    quint16 port() const { return m_port; }
    void hang(bool holding) { m_holding->store(holding); }

private:
    QThread m_thread;
    std::shared_ptr<std::atomic_bool> m_holding = std::make_shared<std::atomic_bool>(false);
    LaggyRelay *m_relay = nullptr;
    quint16 m_port = 0;
};
