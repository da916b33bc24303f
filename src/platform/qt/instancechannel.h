#pragma once

#include "platform/shell.h"

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

namespace Tamberlyn::Platform {

// A local socket beside the instance lock, on which a later start of the
// viewer asks the running course to show itself: for when the course
// window cannot be found on the screen, where the title search alone would
// leave the learner with a course that runs and a lock that keeps every new
// start out. Only the holder of the lock listens.
//
// The exchange is one line each way: "show", then "shown TITLE". Anything
// else, or nothing within a short wait, ends the connection.
class InstanceChannel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstanceChannel)

public:
    static constexpr const char *FileName = "tamberlyn.socket";
    // How long a second start waits for the course's answer; the course
    // answers from its event loop, which runs during every wait it makes.
    static constexpr int AnswerWaitMs = 5000;

    explicit InstanceChannel(QObject *parent = nullptr);
    ~InstanceChannel() override;

    // The course's side: listens at `socketPath`, replacing what an earlier
    // course left there. False with the reason logged when it cannot.
    bool listen(const QString &socketPath, std::function<QString()> show);

    // A second start's side.
    static Shell::ShowReply ask(const QString &socketPath, int waitMs = AnswerWaitMs);

private:
    void onConnection();
    void onRequest(QLocalSocket *socket);

    QLocalServer *m_server = nullptr;
    std::function<QString()> m_show;
};

} // namespace Tamberlyn::Platform
