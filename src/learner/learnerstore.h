#pragma once

#include "bookmark.h"
#include "learnerschema.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace Tamberlyn::Learner {

// The learner record on disk: one SQLite file per learner account, holding
// one record per course address. WAL journal, every commit synced, so that a
// crash or a power cut at any moment loses at most the write under way; a
// format version with migrations from the first version on.
//
// One store is one connection, used by one thread only (the record's worker
// thread; the benchmarks and the crash test drive it directly). Nothing here
// waits for the learner: every call answers at once with what became of it.
class LearnerStore final
{
    Q_DISABLE_COPY_MOVE(LearnerStore)

public:
    enum class Access {
        Writable,
        ReadOnly, // what is there can be read, nothing can be saved
        None,     // nothing can be read or saved
    };

    struct Opening
    {
        Access access = Access::None;
        // Where a damaged or foreign file was moved; empty when none was.
        QString movedAside;
        // Why the file was moved aside, or why progress cannot be saved;
        // empty when all is well.
        QString problem;
    };

    struct Snapshot
    {
        QSet<QString> pagesRead;
        std::optional<ResumeSpot> spot;
        QList<Bookmark> bookmarks;
    };

    // What a failed call met.
    enum class Trouble {
        None,
        NotWritable, // read-only file or folder, no permission, locked by another program
        Full,        // the disk (or the record's size limit) is full
        Damaged,     // the file is no (longer a) database, or a damaged one
        Other,
    };

    // `connectionName` must be unique in the process; `steps` is the format
    // (tests give their own).
    explicit LearnerStore(QString connectionName, QList<SchemaStep> steps = learnerSchemaSteps());
    ~LearnerStore();

    // When the whole file is checked for damage: before it is used, or
    // later, by quickCheck(), once what the viewer needs has been read (the
    // check reads every page of the file, and the learner should not wait
    // for a record of years).
    enum class Checking { BeforeUse, Later };

    // Opens the record at `path`, creating it or bringing its format up to
    // date. A file that is no record of this viewer, or a damaged one, is
    // moved aside beside it and a fresh record is started.
    Opening open(const QString &path, Checking checking = Checking::BeforeUse);
    // SQLite's quick check of the whole file: "ok", or what is wrong.
    QString quickCheck();
    void close();
    Access access() const { return m_access; }
    QString path() const { return m_path; }
    int version() const;

    // What the viewer shows for `course` (coursekey.h); nothing on failure.
    std::optional<Snapshot> load(const QString &course);

    // Writes. Group several between begin() and commit(); each gives false
    // on failure, with trouble() saying what it met. A failed commit has
    // rolled back.
    bool begin();
    bool commit();
    void rollback();
    bool addVisit(const QString &course, const QString &page, qint64 at);
    bool saveSpot(const QString &course, const ResumeSpot &spot);
    // Adds the bookmark, or replaces the one with its id.
    bool putBookmark(const QString &course, const Bookmark &bookmark);
    bool deleteBookmark(const QString &course, qint64 id);
    // Deletes the course's whole record; what it held is overwritten in
    // the file (shared computers).
    bool forget(const QString &course);
    // After a forget's commit: the journal is copied into the file and cut
    // to nothing, so no page of the forgotten record stays in it.
    void emptyJournal();

    Trouble trouble() const { return m_trouble; }
    QString troubleText() const { return m_troubleText; }

    // SQLite's own check of the whole file: "ok", or what is wrong.
    QString integrityCheck();
    // Moves the file (and its journal) aside; gives where it went, empty
    // when it could not be moved.
    QString moveAside(const QString &why);

    // The size limit, in pages (tests fill the "disk" with it).
    void setMaxPageCount(int pages);

private:
    enum class Verdict { Usable, Unreadable, Unavailable };
    Verdict tryOpen(QString &problem, Checking checking);
    bool migrate(int from, QString &problem);
    bool exec(const QString &sql);
    bool exec(QSqlQuery &query);
    std::optional<qint64> courseId(const QString &course, bool create);
    bool failed(const QSqlError &error);
    QSqlDatabase database() const;
    QSqlQuery &prepared(const char *key, const QString &sql);

    const QString m_connectionName;
    const QList<SchemaStep> m_steps;
    QString m_path;
    Access m_access = Access::None;
    Trouble m_trouble = Trouble::None;
    QString m_troubleText;
    QHash<QString, qint64> m_courseIds;
    QHash<QByteArray, std::shared_ptr<QSqlQuery>> m_queries;
};

} // namespace Tamberlyn::Learner
