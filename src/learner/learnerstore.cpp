#include "learnerstore.h"

#include "learnerlog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace Tamberlyn::Learner {

namespace {

// SQLite's primary result codes that decide what a failure means.
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteReadOnly = 8;
constexpr int SqliteIoError = 10;
constexpr int SqliteCorrupt = 11;
constexpr int SqliteFull = 13;
constexpr int SqliteCantOpen = 14;
constexpr int SqlitePermission = 3;
constexpr int SqliteNotADatabase = 26;

const QByteArray SqliteHeader("SQLite format 3\0", 16);
constexpr int WaitForLockMs = 3000;

// A record is outside input too: values longer than any the viewer writes
// are cut, so a doctored file cannot make the viewer hold megabytes per row.
constexpr qsizetype MaxPage = 2048;
constexpr qsizetype MaxTitle = 1024;
constexpr qsizetype MaxNote = 100000;

QString cut(const QVariant &value, qsizetype length)
{
    return value.toString().left(length);
}

// A null text is bound as SQL NULL; every text column is NOT NULL.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

int primaryCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : -1;
}

QString describe(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.trimmed().isEmpty() ? QStringLiteral("unknown error") : text.trimmed();
}

} // namespace

LearnerStore::LearnerStore(QString connectionName, QList<SchemaStep> steps)
    : m_connectionName(std::move(connectionName))
    , m_steps(std::move(steps))
{
}

LearnerStore::~LearnerStore()
{
    close();
}

QSqlDatabase LearnerStore::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void LearnerStore::close()
{
    m_queries.clear(); // every query goes before its connection
    m_courseIds.clear();
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = database();
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_access = Access::None;
}

int LearnerStore::version() const
{
    QSqlQuery query(database());
    return query.exec(QStringLiteral("PRAGMA user_version")) && query.next() ? query.value(0).toInt() : -1;
}

bool LearnerStore::failed(const QSqlError &error)
{
    m_troubleText = describe(error);
    switch (primaryCode(error)) {
    case SqliteReadOnly:
    case SqliteCantOpen:
    case SqlitePermission:
    case SqliteBusy:
    case SqliteLocked:
        m_trouble = Trouble::NotWritable;
        break;
    case SqliteFull:
        m_trouble = Trouble::Full;
        break;
    case SqliteCorrupt:
    case SqliteNotADatabase:
        m_trouble = Trouble::Damaged;
        break;
    case SqliteIoError:
    default:
        m_trouble = Trouble::Other;
        break;
    }
    qCWarning(lcLearner).noquote() << "record:" << m_troubleText;
    return false;
}

bool LearnerStore::exec(const QString &sql)
{
    QSqlQuery query(database());
    return query.exec(sql) || failed(query.lastError());
}

bool LearnerStore::exec(QSqlQuery &query)
{
    return query.exec() || failed(query.lastError());
}

QSqlQuery &LearnerStore::prepared(const char *key, const QString &sql)
{
    std::shared_ptr<QSqlQuery> &query = m_queries[QByteArray(key)];
    if (!query) {
        query = std::make_shared<QSqlQuery>(database());
        query->prepare(sql);
    }
    return *query;
}

LearnerStore::Opening LearnerStore::open(const QString &path, Checking checking)
{
    close();
    m_path = path;
    Opening opening;
    // A file that cannot be used is moved aside once, and a fresh one made.
    for (int attempt = 0; attempt < 2; ++attempt) {
        QString problem;
        const Verdict verdict = tryOpen(problem, checking);
        if (verdict == Verdict::Usable) {
            opening.access = m_access;
            if (m_access != Access::Writable && opening.problem.isEmpty())
                opening.problem = problem;
            return opening;
        }
        close();
        if (verdict == Verdict::Unavailable || attempt > 0) {
            opening.problem = opening.problem.isEmpty() ? problem : opening.problem;
            return opening;
        }
        opening.problem = problem;
        opening.movedAside = moveAside(problem);
        if (opening.movedAside.isEmpty()) {
            opening.problem = problem + QStringLiteral("; it could not be moved aside either");
            return opening;
        }
    }
    return opening;
}

LearnerStore::Verdict LearnerStore::tryOpen(QString &problem, Checking checking)
{
    m_trouble = Trouble::None;
    const QFileInfo file(m_path);
    if (file.exists() && !file.isFile()) {
        problem = QStringLiteral("%1 is not a file").arg(m_path);
        return Verdict::Unreadable;
    }
    if (file.exists() && file.size() > 0) {
        QFile head(m_path);
        if (!head.open(QIODevice::ReadOnly)) {
            problem = QStringLiteral("%1 cannot be read: %2").arg(m_path, head.errorString());
            return Verdict::Unavailable;
        }
        if (head.read(SqliteHeader.size()) != SqliteHeader) {
            problem = QStringLiteral("%1 is not a learner record").arg(m_path);
            return Verdict::Unreadable;
        }
    }

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(WaitForLockMs));
        if (!db.open()) {
            failed(db.lastError());
            problem = QStringLiteral("%1 cannot be opened: %2").arg(m_path, m_troubleText);
            return Verdict::Unavailable;
        }
    }

    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("PRAGMA application_id")) || !query.next()) {
        failed(query.lastError());
        problem = QStringLiteral("%1 cannot be read: %2").arg(m_path, m_troubleText);
        return m_trouble == Trouble::Damaged ? Verdict::Unreadable : Verdict::Unavailable;
    }
    const int applicationId = query.value(0).toInt();
    query.finish();
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next()) {
        failed(query.lastError());
        problem = QStringLiteral("%1 cannot be read: %2").arg(m_path, m_troubleText);
        return m_trouble == Trouble::Damaged ? Verdict::Unreadable : Verdict::Unavailable;
    }
    const bool empty = query.value(0).toInt() == 0;
    query.finish();
    if (applicationId != LearnerApplicationId && !(applicationId == 0 && empty)) {
        problem = QStringLiteral("%1 is a database of another program").arg(m_path);
        return Verdict::Unreadable;
    }
    const int current = version();
    const int latest = m_steps.isEmpty() ? 0 : m_steps.constLast().version;
    if (current > latest) {
        problem = QStringLiteral("%1 was written by a newer version of Tamberlyn (format %2; this one knows %3) and is "
                                 "left as it is")
                      .arg(m_path, QString::number(current), QString::number(latest));
        return Verdict::Unavailable;
    }
    if (!empty && checking == Checking::BeforeUse) {
        const QString verdict = quickCheck();
        if (verdict != QLatin1String("ok")) {
            problem = QStringLiteral("%1 is damaged: %2").arg(m_path, verdict);
            return m_trouble == Trouble::None || m_trouble == Trouble::Damaged ? Verdict::Unreadable
                                                                               : Verdict::Unavailable;
        }
    }

    // Writable? A write taken back tells: a file SQLite could only open for
    // reading (a read-only mount, say) may still grant the write lock.
    m_access = Access::Writable;
    if (!exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        m_access = Access::ReadOnly;
    } else if (!exec(QStringLiteral("PRAGMA user_version=%1").arg(current))) {
        rollback();
        m_access = Access::ReadOnly;
    } else {
        exec(QStringLiteral("ROLLBACK"));
        // Both need a writable file; the journal mode is kept in the file.
        if (!exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            m_access = Access::ReadOnly;
    }
    if (m_access == Access::ReadOnly) {
        problem = QStringLiteral("%1 cannot be written: %2").arg(m_path, m_troubleText);
        if (empty) {
            // Nothing to read either: a record that was never made.
            m_access = Access::None;
            return Verdict::Unavailable;
        }
        return current == latest ? Verdict::Usable : Verdict::Unavailable;
    }
    // Every commit reaches the disk before the next write starts: a power
    // cut loses at most the write under way. The writes run on a thread of
    // their own, so the learner never waits for the disk.
    exec(QStringLiteral("PRAGMA synchronous=FULL"));
    exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    // What a learner deletes is overwritten, not only unlinked.
    exec(QStringLiteral("PRAGMA secure_delete=ON"));
    if (current < latest && !migrate(current, problem)) {
        if (m_trouble == Trouble::Damaged)
            return Verdict::Unreadable;
        m_access = Access::None;
        return Verdict::Unavailable;
    }
    return Verdict::Usable;
}

bool LearnerStore::migrate(int from, QString &problem)
{
    for (const SchemaStep &step : m_steps) {
        if (step.version <= from)
            continue;
        bool done = exec(QStringLiteral("BEGIN IMMEDIATE"));
        for (const QString &statement : step.statements)
            done = done && exec(statement);
        done = done && exec(QStringLiteral("PRAGMA application_id=%1").arg(LearnerApplicationId));
        done = done && exec(QStringLiteral("PRAGMA user_version=%1").arg(step.version));
        if (!done || !exec(QStringLiteral("COMMIT"))) {
            rollback();
            problem = QStringLiteral("%1 could not be brought to format %2: %3")
                          .arg(m_path, QString::number(step.version), m_troubleText);
            return false;
        }
        qCInfo(lcLearner).noquote() << "record at format" << step.version << m_path;
    }
    return true;
}

std::optional<LearnerStore::Snapshot> LearnerStore::load(const QString &course)
{
    if (m_access == Access::None)
        return std::nullopt;
    Snapshot snapshot;
    QSqlQuery &find = prepared("course", QStringLiteral("SELECT id FROM courses WHERE address = ?"));
    find.bindValue(0, course);
    if (!exec(find))
        return std::nullopt;
    if (!find.next()) {
        find.finish();
        return snapshot;
    }
    const qint64 id = find.value(0).toLongLong();
    find.finish();
    m_courseIds.insert(course, id);

    QSqlQuery read(database());
    read.setForwardOnly(true);
    read.prepare(QStringLiteral("SELECT page FROM pages_read WHERE course = ?"));
    read.bindValue(0, id);
    if (!exec(read))
        return std::nullopt;
    while (read.next())
        snapshot.pagesRead.insert(cut(read.value(0), MaxPage));

    QSqlQuery spot(database());
    spot.prepare(QStringLiteral("SELECT page, title, spot, at FROM resume_spots WHERE course = ?"));
    spot.bindValue(0, id);
    if (!exec(spot))
        return std::nullopt;
    if (spot.next()) {
        snapshot.spot = ResumeSpot{cut(spot.value(0), MaxPage), cut(spot.value(1), MaxTitle),
                                   PageSpot::fromJson(cut(spot.value(2), 4096)), spot.value(3).toLongLong()};
    }

    QSqlQuery marks(database());
    marks.setForwardOnly(true);
    marks.prepare(QStringLiteral("SELECT id, page, title, spot, note, created_at, changed_at FROM bookmarks"
                                 " WHERE course = ? ORDER BY created_at, id"));
    marks.bindValue(0, id);
    if (!exec(marks))
        return std::nullopt;
    while (marks.next()) {
        snapshot.bookmarks.append({marks.value(0).toLongLong(), cut(marks.value(1), MaxPage),
                                   cut(marks.value(2), MaxTitle), PageSpot::fromJson(cut(marks.value(3), 4096)),
                                   cut(marks.value(4), MaxNote), marks.value(5).toLongLong(),
                                   marks.value(6).toLongLong()});
    }
    return snapshot;
}

std::optional<qint64> LearnerStore::courseId(const QString &course, bool create)
{
    if (const auto known = m_courseIds.constFind(course); known != m_courseIds.cend())
        return *known;
    QSqlQuery &find = prepared("course", QStringLiteral("SELECT id FROM courses WHERE address = ?"));
    find.bindValue(0, course);
    if (!exec(find))
        return std::nullopt;
    if (find.next()) {
        const qint64 id = find.value(0).toLongLong();
        find.finish();
        m_courseIds.insert(course, id);
        return id;
    }
    find.finish();
    if (!create)
        return std::nullopt;
    QSqlQuery &insert = prepared("add course", QStringLiteral("INSERT INTO courses (address) VALUES (?)"));
    insert.bindValue(0, course);
    if (!exec(insert))
        return std::nullopt;
    const qint64 id = insert.lastInsertId().toLongLong();
    // Kept only once the transaction commits: a rollback takes the row back.
    return id;
}

bool LearnerStore::begin()
{
    m_trouble = Trouble::None;
    m_troubleText.clear();
    if (m_access != Access::Writable) {
        m_trouble = Trouble::NotWritable;
        m_troubleText = QStringLiteral("the record cannot be written");
        return false;
    }
    return exec(QStringLiteral("BEGIN IMMEDIATE"));
}

bool LearnerStore::commit()
{
    if (exec(QStringLiteral("COMMIT")))
        return true;
    rollback();
    return false;
}

void LearnerStore::rollback()
{
    const Trouble trouble = m_trouble;
    const QString text = m_troubleText;
    QSqlQuery query(database());
    query.exec(QStringLiteral("ROLLBACK"));
    // A course added in the transaction is gone again.
    m_courseIds.clear();
    m_trouble = trouble;
    m_troubleText = text;
}

bool LearnerStore::addVisit(const QString &course, const QString &page, qint64 at)
{
    const std::optional<qint64> id = courseId(course, true);
    if (!id)
        return false;
    QSqlQuery &visit = prepared("visit", QStringLiteral("INSERT INTO visits (course, page, at) VALUES (?, ?, ?)"));
    visit.bindValue(0, *id);
    visit.bindValue(1, text(page));
    visit.bindValue(2, at);
    if (!exec(visit))
        return false;
    QSqlQuery &read = prepared("read", QStringLiteral("INSERT INTO pages_read (course, page, first_at, last_at, times)"
                                                      " VALUES (?, ?, ?, ?, 1) ON CONFLICT (course, page) DO UPDATE"
                                                      " SET last_at = excluded.last_at, times = times + 1"));
    read.bindValue(0, *id);
    read.bindValue(1, text(page));
    read.bindValue(2, at);
    read.bindValue(3, at);
    return exec(read);
}

bool LearnerStore::saveSpot(const QString &course, const ResumeSpot &spot)
{
    const std::optional<qint64> id = courseId(course, true);
    if (!id)
        return false;
    QSqlQuery &save = prepared("spot", QStringLiteral("INSERT INTO resume_spots (course, page, title, spot, at)"
                                                      " VALUES (?, ?, ?, ?, ?) ON CONFLICT (course) DO UPDATE"
                                                      " SET page = excluded.page, title = excluded.title,"
                                                      " spot = excluded.spot, at = excluded.at"));
    save.bindValue(0, *id);
    save.bindValue(1, text(spot.page));
    save.bindValue(2, text(spot.title));
    save.bindValue(3, spot.spot.toJson());
    save.bindValue(4, spot.savedAt);
    return exec(save);
}

bool LearnerStore::putBookmark(const QString &course, const Bookmark &bookmark)
{
    const std::optional<qint64> id = courseId(course, true);
    if (!id)
        return false;
    QSqlQuery &put = prepared(
        "bookmark", QStringLiteral("INSERT INTO bookmarks (course, id, page, title, spot, note, created_at, changed_at)"
                                   " VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (course, id) DO UPDATE"
                                   " SET page = excluded.page, title = excluded.title, spot = excluded.spot,"
                                   " note = excluded.note, changed_at = excluded.changed_at"));
    put.bindValue(0, *id);
    put.bindValue(1, bookmark.id);
    put.bindValue(2, text(bookmark.page));
    put.bindValue(3, text(bookmark.title));
    put.bindValue(4, bookmark.spot.toJson());
    put.bindValue(5, text(bookmark.note));
    put.bindValue(6, bookmark.createdAt);
    put.bindValue(7, bookmark.changedAt);
    return exec(put);
}

bool LearnerStore::deleteBookmark(const QString &course, qint64 bookmarkId)
{
    const std::optional<qint64> id = courseId(course, false);
    if (!id)
        return m_trouble == Trouble::None; // no record of the course: nothing to delete
    QSqlQuery &drop = prepared("drop bookmark", QStringLiteral("DELETE FROM bookmarks WHERE course = ? AND id = ?"));
    drop.bindValue(0, *id);
    drop.bindValue(1, bookmarkId);
    return exec(drop);
}

bool LearnerStore::forget(const QString &course)
{
    const std::optional<qint64> id = courseId(course, false);
    if (!id)
        return m_trouble == Trouble::None;
    QSqlQuery &drop = prepared("forget", QStringLiteral("DELETE FROM courses WHERE id = ?"));
    drop.bindValue(0, *id);
    if (!exec(drop))
        return false;
    m_courseIds.remove(course);
    return true;
}

QString LearnerStore::quickCheck()
{
    // The quick form of SQLite's check: every page of the file read and its
    // structure checked, without matching the indexes to their tables.
    m_trouble = Trouble::None;
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("PRAGMA quick_check(1)")) || !query.next()) {
        failed(query.lastError());
        return m_troubleText;
    }
    QString verdict = query.value(0).toString();
    verdict.remove(QStringLiteral("*** in database main ***"));
    return verdict.simplified();
}

QString LearnerStore::integrityCheck()
{
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("PRAGMA integrity_check")))
        return describe(query.lastError());
    QStringList problems;
    while (query.next())
        problems << query.value(0).toString();
    return problems.join(QLatin1Char('\n'));
}

QString LearnerStore::moveAside(const QString &why)
{
    close();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_path + QStringLiteral(".unreadable-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(m_path, aside) && !QDir().rename(m_path, aside)) {
        qCWarning(lcLearner).noquote() << "could not move aside" << m_path << ":" << why;
        return {};
    }
    // The journal belongs to the file it was written for: it goes with it,
    // and the shared-memory index is rebuilt from nothing.
    if (QFileInfo::exists(m_path + QStringLiteral("-wal")))
        QFile::rename(m_path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(m_path + QStringLiteral("-shm"));
    qCWarning(lcLearner).noquote() << "moved aside" << m_path << "to" << aside << ":" << why;
    return aside;
}

void LearnerStore::emptyJournal()
{
    // Copies the journal into the file and cuts it to nothing, so pages a
    // forget deleted leave no copy behind in it.
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")))
        failed(query.lastError());
}

void LearnerStore::setMaxPageCount(int pages)
{
    exec(QStringLiteral("PRAGMA max_page_count=%1").arg(pages));
}

} // namespace Tamberlyn::Learner
