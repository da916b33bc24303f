#include "learnerworker.h"

#include "learnerlog.h"

#include "tables/tablefilereader.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMutexLocker>

#include <atomic>

namespace Tamberlyn::Learner {

namespace {

std::atomic<int> connectionSerial{0};

// What the learner sees of a failure to save.
QString notSavedReason(LearnerStore::Trouble trouble, const QString &text)
{
    switch (trouble) {
    case LearnerStore::Trouble::Full:
        return QStringLiteral("the disk is full (%1)").arg(text);
    case LearnerStore::Trouble::NotWritable:
        return QStringLiteral("the record cannot be written (%1)").arg(text);
    default:
        return text;
    }
}

} // namespace

// Lives on the worker thread and owns the connection.
class LearnerEngine final : public QObject
{
public:
    explicit LearnerEngine(LearnerWorker &worker)
        : m_worker(worker)
        , m_store(QStringLiteral("tamberlyn-learner-%1").arg(++connectionSerial))
    {
    }

    void open()
    {
        const QString &path = m_worker.m_config.recordPath;
        LearnerStore::Opening opening = m_store.open(path, LearnerStore::Checking::Later);
        std::optional<LearnerStore::Snapshot> loaded = m_store.load(m_worker.m_config.course);
        if (!loaded && m_store.trouble() == LearnerStore::Trouble::Damaged) {
            // Damage met on the way in: aside with it at once.
            const QString problem = QStringLiteral("%1 is damaged: %2").arg(path, m_store.troubleText());
            const QString aside = m_store.moveAside(problem);
            opening = m_store.open(path);
            opening.movedAside = aside;
            opening.problem = aside.isEmpty() ? problem + QStringLiteral("; it could not be moved aside either")
                                              : problem;
            loaded = m_store.load(m_worker.m_config.course);
        }
        const LearnerStore::Snapshot snapshot = loaded.value_or(LearnerStore::Snapshot{});
        const CoursePages pages = readPageList(m_worker.m_config.pageListFile);
        qCInfo(lcLearner).noquote() << QStringLiteral("record opened: %1 pages read, %2 bookmarks, %3 pages in the "
                                                      "course's list")
                                           .arg(snapshot.pagesRead.size())
                                           .arg(snapshot.bookmarks.size())
                                           .arg(pages.pages().size());
        LearnerWorker *worker = &m_worker;
        QMetaObject::invokeMethod(
            worker, [worker, snapshot, pages, opening] { emit worker->opened(snapshot, pages, opening); },
            Qt::QueuedConnection);
        if (m_store.access() != LearnerStore::Access::None && opening.movedAside.isEmpty())
            checkWhole();
    }

    // The whole file checked once the viewer has what it needs: damage found
    // here moves the file aside too, and the viewer writes what it knows
    // into the fresh record (startedAfresh).
    void checkWhole()
    {
        const QString verdict = m_store.quickCheck();
        if (verdict == QLatin1String("ok"))
            return;
        if (m_store.trouble() != LearnerStore::Trouble::None && m_store.trouble() != LearnerStore::Trouble::Damaged) {
            qCWarning(lcLearner).noquote() << "the record could not be checked:" << verdict;
            return;
        }
        const QString problem = QStringLiteral("%1 is damaged: %2").arg(m_worker.m_config.recordPath, verdict);
        const QString aside = m_store.moveAside(problem);
        m_store.open(m_worker.m_config.recordPath);
        LearnerWorker *worker = &m_worker;
        QMetaObject::invokeMethod(
            worker, [worker, aside, problem] { emit worker->startedAfresh(aside, problem); }, Qt::QueuedConnection);
    }

    void drain()
    {
        const std::deque<LearnerWorker::Write> writes = m_worker.takeQueue();
        if (!writes.empty())
            commit(writes);
        m_worker.drained();
    }

    void shutDown()
    {
        drain();
        m_store.close();
    }

private:
    static CoursePages readPageList(const QString &file)
    {
        if (file.isEmpty())
            return {};
        // Read as the Search reads it, as one of its index pair, even while
        // a build switches a new pair in.
        const Tables::TableFileReader reader;
        const Tables::FilesRead read = reader.filesFrom(
            reader.readPairBytes(QFileInfo(file).path(), Tables::TableFileReader::PairPart::Files).files);
        QList<std::pair<QString, QString>> lines;
        lines.reserve(read.table.lineCount());
        for (const Tables::PageLine &line : read.table.lines())
            lines.append({line.pageFile, line.title});
        return CoursePages::fromPageList(lines);
    }

    bool apply(const LearnerWorker::Write &write)
    {
        const QString &course = m_worker.m_config.course;
        return std::visit(
            [this, &course](const auto &w) -> bool {
                using W = std::decay_t<decltype(w)>;
                if constexpr (std::is_same_v<W, LearnerWorker::Visit>) {
                    return m_store.addVisit(course, w.page, w.at);
                } else if constexpr (std::is_same_v<W, LearnerWorker::SaveSpot>) {
                    return m_store.saveSpot(course, w.spot);
                } else if constexpr (std::is_same_v<W, LearnerWorker::PutBookmark>) {
                    return m_store.putBookmark(course, w.bookmark);
                } else if constexpr (std::is_same_v<W, LearnerWorker::DeleteBookmark>) {
                    return m_store.deleteBookmark(course, w.id);
                } else if constexpr (std::is_same_v<W, LearnerWorker::Forget>) {
                    m_forgot = true;
                    return m_store.forget(course);
                } else {
                    return reseed(course, w.snapshot);
                }
            },
            write);
    }

    bool reseed(const QString &course, const LearnerStore::Snapshot &snapshot)
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (const QString &page : snapshot.pagesRead) {
            if (!m_store.addVisit(course, page, now))
                return false;
        }
        for (const Bookmark &bookmark : snapshot.bookmarks) {
            if (!m_store.putBookmark(course, bookmark))
                return false;
        }
        return !snapshot.spot || m_store.saveSpot(course, *snapshot.spot);
    }

    void commit(const std::deque<LearnerWorker::Write> &writes)
    {
        m_forgot = false;
        bool done = m_store.begin();
        for (const LearnerWorker::Write &write : writes) {
            if (!done)
                break;
            done = apply(write);
        }
        if (done)
            done = m_store.commit();
        else if (m_store.access() == LearnerStore::Access::Writable)
            m_store.rollback();
        if (done) {
            if (m_forgot)
                m_store.emptyJournal();
            tellCommitted(writes);
            return;
        }
        const LearnerStore::Trouble trouble = m_store.trouble();
        const QString text = m_store.troubleText();
        LearnerWorker *worker = &m_worker;
        if (trouble == LearnerStore::Trouble::Damaged) {
            // Damaged under our feet: keep the file for whoever wants to look
            // into it, start afresh, and let the viewer write back what it knows.
            const QString aside = m_store.moveAside(text);
            m_store.open(m_worker.m_config.recordPath);
            QMetaObject::invokeMethod(
                worker, [worker, aside, text] { emit worker->startedAfresh(aside, text); }, Qt::QueuedConnection);
            return;
        }
        const QString reason = notSavedReason(trouble, text);
        qCInfo(lcLearner).noquote() << writes.size() << "writes not saved:" << reason;
        QMetaObject::invokeMethod(worker, [worker, reason] { emit worker->notSaved(reason); }, Qt::QueuedConnection);
    }

    void tellCommitted(const std::deque<LearnerWorker::Write> &writes)
    {
        const bool report = m_worker.m_reportCommits;
        if (!report && !lcLearner().isDebugEnabled())
            return;
        QStringList described;
        for (const LearnerWorker::Write &write : writes)
            described << describeWrite(write);
        qCDebug(lcLearner).noquote() << "committed:" << described.join(QStringLiteral("; "));
        if (report) {
            LearnerWorker *worker = &m_worker;
            QMetaObject::invokeMethod(
                worker, [worker, described] { emit worker->committed(described); }, Qt::QueuedConnection);
        }
    }

    LearnerWorker &m_worker;
    LearnerStore m_store;
    bool m_forgot = false;
};

LearnerWorker::LearnerWorker(Config config, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_engine(new LearnerEngine(*this))
{
    m_thread.setObjectName(QStringLiteral("learner record"));
    m_engine->moveToThread(&m_thread);
}

LearnerWorker::~LearnerWorker()
{
    if (m_thread.isRunning()) {
        // The last writes of an orderly end. Whatever the first two seconds
        // did not finish is still written before the thread ends: a slow disk
        // makes the end slow, it never loses the learner's last pages.
        finish(2000);
        LearnerEngine *engine = m_engine;
        QMetaObject::invokeMethod(m_engine, [engine] { engine->shutDown(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    delete m_engine;
}

void LearnerWorker::start()
{
    if (m_thread.isRunning())
        return;
    // Below the user interface: the record must never take time from it.
    m_thread.start(QThread::LowPriority);
    LearnerEngine *engine = m_engine;
    QMetaObject::invokeMethod(m_engine, [engine] { engine->open(); }, Qt::QueuedConnection);
}

void LearnerWorker::queue(Write write)
{
    QMutexLocker lock(&m_mutex);
    m_queue.push_back(std::move(write));
    if (m_drainPosted)
        return;
    m_drainPosted = true;
    LearnerEngine *engine = m_engine;
    QMetaObject::invokeMethod(m_engine, [engine] { engine->drain(); }, Qt::QueuedConnection);
}

std::deque<LearnerWorker::Write> LearnerWorker::takeQueue()
{
    QMutexLocker lock(&m_mutex);
    m_drainPosted = false;
    m_busy = true;
    return std::exchange(m_queue, {});
}

void LearnerWorker::drained()
{
    QMutexLocker lock(&m_mutex);
    m_busy = false;
    m_idle.wakeAll();
}

bool LearnerWorker::finish(int timeoutMs)
{
    if (!m_thread.isRunning())
        return true;
    const QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    while (m_busy || !m_queue.empty()) {
        if (!m_idle.wait(&m_mutex, deadline))
            return false;
    }
    return true;
}

QString describeWrite(const LearnerWorker::Write &write)
{
    return std::visit(
        [](const auto &w) -> QString {
            using W = std::decay_t<decltype(w)>;
            if constexpr (std::is_same_v<W, LearnerWorker::Visit>)
                return QStringLiteral("visit %1 %2").arg(w.page, QString::number(w.at));
            else if constexpr (std::is_same_v<W, LearnerWorker::SaveSpot>)
                return QStringLiteral("spot %1 %2").arg(w.spot.page, w.spot.spot.toJson());
            else if constexpr (std::is_same_v<W, LearnerWorker::PutBookmark>)
                return QStringLiteral("bookmark %1 %2 %3").arg(QString::number(w.bookmark.id), w.bookmark.page, w.bookmark.note);
            else if constexpr (std::is_same_v<W, LearnerWorker::DeleteBookmark>)
                return QStringLiteral("delete bookmark %1").arg(w.id);
            else if constexpr (std::is_same_v<W, LearnerWorker::Forget>)
                return QStringLiteral("forget");
            else
                return QStringLiteral("reseed %1 pages %2 bookmarks")
                    .arg(w.snapshot.pagesRead.size())
                    .arg(w.snapshot.bookmarks.size());
        },
        write);
}

} // namespace Tamberlyn::Learner
