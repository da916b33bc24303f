#include "instancechannel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QTimer>

namespace Tamberlyn::Platform {

namespace {

Q_LOGGING_CATEGORY(lcChannel, "tamberlyn.shell", QtInfoMsg)

constexpr QByteArrayView Request = "show\n";
constexpr QByteArrayView Answer = "shown ";
// A request is one short line; a peer that sends more, or takes longer
// than this, is not a viewer asking.
constexpr qint64 LongestLine = 64;
constexpr int PeerWaitMs = 2000;
// Titles are short; an answer longer than this is not one.
constexpr qint64 LongestAnswer = 512;

} // namespace

InstanceChannel::InstanceChannel(QObject *parent)
    : QObject(parent)
{
}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::listen(const QString &socketPath, std::function<QString()> show)
{
    m_show = std::move(show);
    delete m_server;
    m_server = new QLocalServer(this);
    // Only this user may ask.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(4);
    // A socket file left by a course that ended without tidying up; the
    // lock we hold says no course uses it now.
    QLocalServer::removeServer(socketPath);
    if (!m_server->listen(socketPath)) {
        qCWarning(lcChannel).noquote() << "cannot listen for later starts at" << socketPath << ":"
                                       << m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::onConnection);
    qCInfo(lcChannel).noquote() << "listening for later starts at" << socketPath;
    return true;
}

void InstanceChannel::onConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onRequest(socket); });
        QTimer::singleShot(PeerWaitMs, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0)
            onRequest(socket);
    }
}

void InstanceChannel::onRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > LongestLine)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(LongestLine + 1);
    if (line != Request) {
        qCWarning(lcChannel) << "ignored a request on the instance channel";
        socket->abort();
        return;
    }
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    qCInfo(lcChannel) << "a later start asks the course to show itself";
    const QString title = m_show ? m_show() : QString();
    // The show may have run events; the peer may have gone meanwhile.
    if (socket->state() != QLocalSocket::ConnectedState)
        return;
    socket->write(Answer.toByteArray() + title.simplified().toUtf8().left(LongestAnswer - 16) + '\n');
    socket->disconnectFromServer();
}

Shell::ShowReply InstanceChannel::ask(const QString &socketPath, int waitMs)
{
    using Outcome = Shell::ShowReply::Outcome;
    const QDeadlineTimer deadline(waitMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return {Outcome::NotListening, {}, 0};
    socket.write(Request.data(), Request.size());
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() <= LongestAnswer) {
        if (socket.bytesAvailable() == 0
            && (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))) {
            // The answer may have come with the close.
            answer += socket.readAll();
            break;
        }
        answer += socket.read(LongestAnswer + 1 - answer.size());
    }
    const qsizetype end = answer.indexOf('\n');
    if (end < 0 || !answer.startsWith(Answer))
        return {Outcome::NoAnswer, {}, 0};
    return {Outcome::Shown, QString::fromUtf8(answer.mid(Answer.size(), end - Answer.size())), 0};
}

} // namespace Tamberlyn::Platform
