#include "historylogsync.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace Tamberlyn::History {

Q_DECLARE_LOGGING_CATEGORY(lcHistory) // defined with the history log

HistoryLogSync &HistoryLogSync::instance()
{
    // Never destroyed: the worker may still run while the process ends.
    static HistoryLogSync *const sync = new HistoryLogSync;
    return *sync;
}

void HistoryLogSync::flushSoon(Platform::UniqueFd file, Platform::UniqueFd folder)
{
    struct stat info {};
    if (!file.isValid() || ::fstat(file.get(), &info) != 0)
        return;
    std::lock_guard lock(m_mutex);
    ++m_handed;
    const auto waiting = std::find_if(m_queue.begin(), m_queue.end(), [&](const Job &job) {
        return job.device == info.st_dev && job.inode == info.st_ino;
    });
    if (waiting != m_queue.end()) {
        if (!waiting->folder.isValid())
            waiting->folder = std::move(folder);
    } else {
        m_queue.push_back({std::move(file), std::move(folder), info.st_dev, info.st_ino});
    }
    if (!m_started) {
        m_started = true;
        std::thread([this] { run(); }).detach();
    }
    m_work.notify_one();
}

bool HistoryLogSync::waitUntilFlushed(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    const quint64 handed = m_handed;
    return m_flushed.wait_for(lock, timeout, [&] { return m_done >= handed; });
}

void HistoryLogSync::run()
{
    for (;;) {
        std::deque<Job> batch;
        quint64 upTo = 0;
        {
            std::unique_lock lock(m_mutex);
            m_work.wait(lock, [&] { return !m_queue.empty(); });
            batch.swap(m_queue);
            upTo = m_handed;
        }
        for (const Job &job : batch) {
            if (::fdatasync(job.file.get()) != 0)
                qCWarning(lcHistory) << "cannot flush the history to disk:" << std::strerror(errno);
            if (job.folder.isValid() && ::fsync(job.folder.get()) != 0)
                qCWarning(lcHistory) << "cannot flush the history's folder to disk:" << std::strerror(errno);
        }
        batch.clear(); // the handles close here, before anyone is told
        std::lock_guard lock(m_mutex);
        m_done = upTo;
        m_flushed.notify_all();
    }
}

} // namespace Tamberlyn::History
