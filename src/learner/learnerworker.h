#pragma once

#include "bookmark.h"
#include "coursepages.h"
#include "learnerstore.h"

#include <QMutex>
#include <QObject>
#include <QThread>
#include <QWaitCondition>

#include <deque>
#include <variant>

namespace Tamberlyn::Learner {

class LearnerEngine;

// The learner record's writes, off the user-interface thread: a thread of
// its own with its own connection to the record. A write is queued and the
// caller goes on at once; the thread takes every write queued meanwhile
// into one transaction, so a slow disk delays the record, never a page turn.
//
// What the thread has to tell comes back as signals on the thread that
// made the worker.
class LearnerWorker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LearnerWorker)

public:
    struct Config
    {
        QString recordPath;   // the record file
        QString course;       // coursekey.h
        QString pageListFile; // "files.vxp"; the course's page list, may be missing
    };

    struct Visit
    {
        QString page;
        qint64 at = 0;
    };
    struct SaveSpot
    {
        ResumeSpot spot;
    };
    struct PutBookmark
    {
        Bookmark bookmark;
    };
    struct DeleteBookmark
    {
        qint64 id = 0;
    };
    struct Forget
    {
    };
    // After the record was started afresh: what the viewer still knows.
    struct Reseed
    {
        LearnerStore::Snapshot snapshot;
    };
    using Write = std::variant<Visit, SaveSpot, PutBookmark, DeleteBookmark, Forget, Reseed>;

    explicit LearnerWorker(Config config, QObject *parent = nullptr);
    // Lets the writes queued reach the disk (for a while), then ends the thread.
    ~LearnerWorker() override;

    // Opens the record and reads the course's page list; opened() follows.
    void start();
    void queue(Write write);
    // Waits up to `timeoutMs` until every write queued so far has been
    // committed or has failed; false on time-out.
    bool finish(int timeoutMs);

    // Only the crash test needs to know each commit: it is told so only
    // when asked.
    void reportCommits(bool report) { m_reportCommits = report; }

signals:
    void opened(const Tamberlyn::Learner::LearnerStore::Snapshot &snapshot,
                const Tamberlyn::Learner::CoursePages &coursePages,
                const Tamberlyn::Learner::LearnerStore::Opening &opening);
    // The writes of one transaction, described, once they are on disk.
    void committed(const QStringList &writes);
    // Writes that could not be saved, and why.
    void notSaved(const QString &reason);
    // The record turned out damaged while in use: it was moved aside and a
    // fresh one started.
    void startedAfresh(const QString &movedAside, const QString &reason);

private:
    friend class LearnerEngine;
    // On the worker thread.
    std::deque<Write> takeQueue();
    void drained();

    Config m_config;
    QThread m_thread;
    LearnerEngine *m_engine;
    QMutex m_mutex;
    QWaitCondition m_idle;
    std::deque<Write> m_queue;
    bool m_drainPosted = false;
    bool m_busy = false;
    bool m_reportCommits = false;
};

// Describes a write for the log and the crash test, which finds each
// committed write again after a kill by it: "visit kq010003.vxp 1765...",
// "bookmark 3 kq020003.vxp the note", "delete bookmark 3", "forget".
QString describeWrite(const LearnerWorker::Write &write);

} // namespace Tamberlyn::Learner
