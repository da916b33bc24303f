#pragma once

#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

class TinyHttpsServer;

// An HTTPS server of the test's own for what the course server never does:
// it serves a course folder as the course server would, except one page,
// which it answers with an error status for as long as it is told to. It
// uses the course server's certificate, so the viewer's pin holds. It runs
// in a thread of its own, so it answers while the test waits on the viewer.
class TinyCourseServer final
{
    Q_DISABLE_COPY_MOVE(TinyCourseServer)

public:
    // `failing` is a path as requested, "/kq_cbt/kq/kq010001.vxp".
    TinyCourseServer(const QString &root, const QString &certificateFolder, const QString &failing, int status);
    ~TinyCourseServer();

    // 0 when it could not listen (or read the certificate).
    quint16 port() const { return m_port; }
    // From now on the failing page is served as any other.
    void heal() { m_failing->store(false); }

private:
    QThread m_thread;
    std::shared_ptr<std::atomic_bool> m_failing = std::make_shared<std::atomic_bool>(true);
    TinyHttpsServer *m_server = nullptr;
    quint16 m_port = 0;
};
