#pragma once

#include "platform/posix/uniquefd.h"

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace Tamberlyn::History {

// Puts appended history records on the disk without holding up a page
// turn. A record written to the file is safe from a crash of the viewer at
// once; from a power cut only once the disk has it, and asking the disk
// (fdatasync) takes from a tenth of a millisecond to tens of milliseconds,
// far more than a page turn may spend. So the append hands the file to
// this one worker thread, which flushes it, and the folder too when the
// file was new (its name must survive as well).
//
// What a power cut keeps: every record whose flush has finished, which is
// every record but those of the last moment (about one flush time), each
// whole or, for the last one, torn; a torn last line is set apart by the
// next append (HistoryLog).
class HistoryLogSync final
{
public:
    Q_DISABLE_COPY_MOVE(HistoryLogSync)

    // The one worker of the process, started on first use. It is never
    // stopped: the viewer ends with _exit, and a flush cut short then loses
    // nothing a crash would not.
    static HistoryLogSync &instance();

    // Flushes `file` (and `folder`, when valid) soon. A file already waiting
    // is not queued twice: the flush that is still to come covers this
    // record too, so a slow disk never piles up handles.
    void flushSoon(Platform::UniqueFd file, Platform::UniqueFd folder);
    // Waits until everything handed over so far is flushed; false when
    // `timeout` passed first.
    bool waitUntilFlushed(std::chrono::milliseconds timeout);

private:
    HistoryLogSync() = default;
    void run();

    struct Job
    {
        Platform::UniqueFd file;
        Platform::UniqueFd folder;
        dev_t device = 0;
        ino_t inode = 0;
    };

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_flushed;
    std::deque<Job> m_queue;
    quint64 m_handed = 0;
    quint64 m_done = 0;
    bool m_started = false;
};

} // namespace Tamberlyn::History
