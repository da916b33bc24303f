#include "UnixSignalQuitter.h"

#include "ServerLogging.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Only one quitter per process can own the handlers.
int g_pipe[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

UnixSignalQuitter::UnixSignalQuitter(QObject *parent)
    : QObject(parent)
{
}

UnixSignalQuitter::~UnixSignalQuitter()
{
    if (m_notifier == nullptr)
        return;
    struct sigaction defaultAction = {};
    defaultAction.sa_handler = SIG_DFL;
    ::sigaction(SIGTERM, &defaultAction, nullptr);
    ::sigaction(SIGINT, &defaultAction, nullptr);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

bool UnixSignalQuitter::install()
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCCritical(lcServer) << "cannot create the signal pipe:" << std::strerror(errno);
        return false;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalQuitter::readSignal);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, nullptr) != 0 || ::sigaction(SIGINT, &action, nullptr) != 0) {
        qCCritical(lcServer) << "cannot install the signal handlers:" << std::strerror(errno);
        return false;
    }
    return true;
}

void UnixSignalQuitter::readSignal()
{
    unsigned char byte = 0;
    if (::read(g_pipe[0], &byte, 1) != 1)
        return;
    qCInfo(lcServer) << "stopping on signal" << static_cast<int>(byte);
    QCoreApplication::quit();
}
