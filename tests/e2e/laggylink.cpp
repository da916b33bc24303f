#include "laggylink.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>

namespace {

// One direction of one connection: what came from `from`, held until due,
// then written to `to` in the order it came.
class Lane final : public QObject
{
public:
    Lane(QTcpSocket *from, QTcpSocket *to, const LaggyLink::Shape &shape,
         std::shared_ptr<std::atomic_bool> holding, QObject *parent)
        : QObject(parent)
        , m_from(from)
        , m_to(to)
        , m_shape(shape)
        , m_holding(std::move(holding))
    {
        m_clock.start();
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &Lane::flush);
        connect(m_from, &QTcpSocket::readyRead, this, &Lane::take);
        connect(m_from, &QTcpSocket::disconnected, this, [this] {
            m_fromGone = true;
            take();
            flush();
        });
    }

private:
    void take()
    {
        const QByteArray data = m_from->isOpen() ? m_from->readAll() : QByteArray();
        if (data.isEmpty())
            return;
        qint64 due = m_clock.elapsed() + m_shape.delayMs;
        if (int(QRandomGenerator::global()->bounded(100)) < m_shape.stallPercent)
            due += m_shape.stallMs;
        // Never before what came earlier: TCP keeps the order.
        due = qMax(due, m_lastDue);
        m_lastDue = due;
        m_queue.push_back({due, data});
        flush();
    }

    void flush()
    {
        const qint64 now = m_clock.elapsed();
        while (!m_holding->load() && !m_queue.empty() && m_queue.front().first <= now) {
            m_to->write(m_queue.front().second);
            m_queue.pop_front();
        }
        if (!m_queue.empty()) {
            const qint64 wait = m_holding->load() ? 100 : m_queue.front().first - now;
            m_timer.start(int(qBound(qint64(1), wait, qint64(100))));
        } else if (m_fromGone) {
            m_to->disconnectFromHost();
        }
    }

    QTcpSocket *m_from;
    QTcpSocket *m_to;
    LaggyLink::Shape m_shape;
    std::shared_ptr<std::atomic_bool> m_holding;
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::deque<std::pair<qint64, QByteArray>> m_queue;
    qint64 m_lastDue = 0;
    bool m_fromGone = false;
};

} // namespace

class LaggyRelay final : public QTcpServer
{
public:
    LaggyRelay(quint16 upstream, LaggyLink::Shape shape, std::shared_ptr<std::atomic_bool> holding)
        : m_upstream(upstream)
        , m_shape(shape)
        , m_holding(std::move(holding))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *near = new QTcpSocket(this);
        near->setSocketDescriptor(descriptor);
        auto *far = new QTcpSocket(near);
        far->connectToHost(QHostAddress::LocalHost, m_upstream);
        new Lane(near, far, m_shape, m_holding, near);
        new Lane(far, near, m_shape, m_holding, near);
        connect(near, &QTcpSocket::disconnected, near, [near, far] {
            if (far->state() == QAbstractSocket::UnconnectedState)
                near->deleteLater();
        });
        connect(far, &QTcpSocket::disconnected, near, [near] {
            if (near->state() == QAbstractSocket::UnconnectedState)
                near->deleteLater();
        });
    }

private:
    quint16 m_upstream;
    LaggyLink::Shape m_shape;
    std::shared_ptr<std::atomic_bool> m_holding;
};

LaggyLink::LaggyLink(quint16 upstreamPort, Shape shape)
{
    m_thread.start();
    // The relay is made in its thread, so its sockets live there and go on
    // relaying while the test's own thread waits on the viewer.
    QObject context;
    context.moveToThread(&m_thread);
    quint16 port = 0;
    QMetaObject::invokeMethod(
        &context,
        [&] {
            m_relay = new LaggyRelay(upstreamPort, shape, m_holding);
            if (m_relay->listen(QHostAddress::LocalHost, 0))
                port = m_relay->serverPort();
            context.moveToThread(nullptr);
        },
        Qt::BlockingQueuedConnection);
    m_port = port;
}

LaggyLink::~LaggyLink()
{
    if (m_relay) {
        QMetaObject::invokeMethod(
            m_relay, [relay = m_relay] { delete relay; }, Qt::BlockingQueuedConnection);
    }
    m_thread.quit();
    m_thread.wait();
}
