#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <optional>

namespace Tamberlyn::SimBridge {
class SharedBlocks;
}

namespace Tamberlyn::Simulator {

// Polls the three blocks the way the simulators do (nothing signals a
// change) and reports what differs from the previous poll; the first poll
// reports everything. A block without a view is never reported.
class BlockWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit BlockWatcher(const SimBridge::SharedBlocks &blocks, QObject *parent = nullptr);

    // Polls at once, then every `intervalMs`.
    void start(int intervalMs);
    void stop();
    void poll();

signals:
    // The decoded path, up to its first zero byte; empty: no simulation.
    void pathChanged(const QString &path);
    void requestChanged(quint8 code);
    void endFlagChanged(qint32 value);

private:
    const SimBridge::SharedBlocks &m_blocks;
    QTimer m_timer;
    // Only the bytes up to the first zero: a shorter path written over a
    // longer one leaves no tail that would count as a change.
    std::optional<QByteArray> m_path;
    std::optional<quint8> m_request;
    std::optional<qint32> m_endFlag;
};

} // namespace Tamberlyn::Simulator
