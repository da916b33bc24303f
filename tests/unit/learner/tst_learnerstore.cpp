#include "learner/learnerstore.h"
#include "learner/learnerworker.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Learner::Bookmark;
using Learner::LearnerStore;
using Learner::LearnerWorker;

namespace {

const QString CourseA = u"https://a.example/kq_cbt/kq/"_s;
const QString CourseB = u"https://b.example/kq_cbt/kq/"_s;

int serial = 0;

QString connection()
{
    return u"test-%1"_s.arg(++serial);
}

// Asks the file with a connection of the test's own, as another program would.
QVariant ask(const QString &path, const QString &sql)
{
    const QString name = connection();
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next())
                value = query.value(0);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

void run(const QString &path, const QStringList &statements)
{
    const QString name = connection();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString &sql : statements)
            QVERIFY2(query.exec(sql), qPrintable(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Bookmark bookmark(qint64 id, const QString &note)
{
    return Bookmark{id, u"kq020003.vxp"_s, u"Hazards"_s, {u"Direct current"_s, 1, 0.5, 0.3}, note, 10 * id, 20 * id};
}

// A record with something of everything in it, for course A.
void fill(LearnerStore &store, int visits = 3)
{
    QVERIFY(store.begin());
    for (int i = 0; i < visits; ++i)
        QVERIFY(store.addVisit(CourseA, u"kq01%1.vxp"_s.arg(i % 7, 4, 10, QLatin1Char('0')), 1000 + i));
    QVERIFY(store.saveSpot(CourseA, {u"kq010003.vxp"_s, u"What a PV system does"_s, {u"A PV system"_s, 0, 0.25, 0.1}, 5}));
    QVERIFY(store.putBookmark(CourseA, bookmark(1, u"first"_s)));
    QVERIFY(store.commit());
}

// A record of many pages with two of them overwritten, as a failing disk leaves it.
void damage(const QString &path)
{
    {
        LearnerStore store(connection());
        store.open(path);
        fill(store, 3000);
    }
    run(path, {u"PRAGMA wal_checkpoint(TRUNCATE)"_s});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.size() > 5 * 4096);
    file.seek(3 * 4096);
    file.write(QByteArray(2 * 4096, '\xa5'));
}

QStringList asideFiles(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList({u"learner.sqlite.unreadable-*"_s}, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
}

} // namespace

// The record on disk: made, migrated, read back, kept apart per course;
// damaged and foreign files moved aside; full and unwritable disks and a
// newer format met without losing what is there; forget leaves nothing
// readable; and the worker thread's queue.
class TestLearnerStore final : public QObject
{
    Q_OBJECT

private slots:
    void freshRecordIsWalAtTheCurrentFormat();
    void writesReadBackPerCourse();
    void unusableFilesAreMovedAside_data();
    void unusableFilesAreMovedAside();
    void newerFormatIsLeftAlone();
    void migrationsGoStepByStepAndAllOrNothing();
    void unwritablePlaceSavesNothing();
    void fullDiskLosesOnlyTheWriteUnderWay();
    void forgetLeavesNothingOfTheCourseInTheFiles();
    void workerSavesQueuedWritesOffTheCallersThread();
    void workerSaysWhenNothingCanBeSaved();
    void workerMovesADamagedRecordAsideAfterOpening();
};

void TestLearnerStore::freshRecordIsWalAtTheCurrentFormat()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"learner.sqlite"_s);
    {
        LearnerStore store(connection());
        const LearnerStore::Opening opening = store.open(path);
        QCOMPARE(opening.access, LearnerStore::Access::Writable);
        QVERIFY(opening.problem.isEmpty());
        QVERIFY(opening.movedAside.isEmpty());
        QCOMPARE(store.version(), Learner::learnerSchemaSteps().constLast().version);
        QVERIFY(store.load(CourseA)->pagesRead.isEmpty());
        fill(store);
        QCOMPARE(store.integrityCheck(), u"ok"_s);
    }
    QCOMPARE(ask(path, u"PRAGMA journal_mode"_s).toString(), u"wal"_s);
    QCOMPARE(ask(path, u"PRAGMA application_id"_s).toInt(), Learner::LearnerApplicationId);
    QCOMPARE(ask(path, u"PRAGMA user_version"_s).toInt(), Learner::learnerSchemaSteps().constLast().version);
}

void TestLearnerStore::writesReadBackPerCourse()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"learner.sqlite"_s);
    {
        LearnerStore store(connection());
        store.open(path);
        fill(store, 10);
        QVERIFY(store.begin());
        QVERIFY(store.putBookmark(CourseA, bookmark(2, u"second"_s)));
        QVERIFY(store.putBookmark(CourseA, bookmark(1, u"first, changed"_s)));
        QVERIFY(store.putBookmark(CourseA, bookmark(3, u"gone"_s)));
        QVERIFY(store.deleteBookmark(CourseA, 3));
        // A bookmark made without a note yet, on a page without a title.
        Bookmark bare = bookmark(4, QString());
        bare.title = QString();
        QVERIFY(store.putBookmark(CourseA, bare));
        QVERIFY(store.addVisit(CourseB, u"kq070003.vxp"_s, 7));
        QVERIFY(store.putBookmark(CourseB, bookmark(1, u"other course"_s)));
        QVERIFY(store.commit());
        // A transaction that does not commit leaves nothing.
        QVERIFY(store.begin());
        QVERIFY(store.addVisit(CourseA, u"kq099999.vxp"_s, 9));
        store.rollback();
    }
    LearnerStore store(connection());
    QCOMPARE(store.open(path).access, LearnerStore::Access::Writable);
    const std::optional<LearnerStore::Snapshot> a = store.load(CourseA);
    QVERIFY(a);
    QCOMPARE(a->pagesRead.size(), 7);
    QVERIFY(!a->pagesRead.contains(u"kq099999.vxp"_s));
    QVERIFY(a->spot);
    QCOMPARE(a->spot->page, u"kq010003.vxp"_s);
    QCOMPARE(a->spot->spot, (Learner::PageSpot{u"A PV system"_s, 0, 0.25, 0.1}));
    QCOMPARE(a->bookmarks.size(), 3);
    QCOMPARE(a->bookmarks.at(0), bookmark(1, u"first, changed"_s));
    QCOMPARE(a->bookmarks.at(1), bookmark(2, u"second"_s));
    QCOMPARE(a->bookmarks.at(2).note, u""_s);
    QCOMPARE(a->bookmarks.at(2).title, u""_s);
    const std::optional<LearnerStore::Snapshot> b = store.load(CourseB);
    QCOMPARE(b->pagesRead, (QSet<QString>{u"kq070003.vxp"_s}));
    QVERIFY(!b->spot);
    QCOMPARE(b->bookmarks.size(), 1);
    QCOMPARE(b->bookmarks.at(0).note, u"other course"_s);
    QCOMPARE(ask(path, u"SELECT count(*) FROM visits"_s).toInt(), 11);
}

void TestLearnerStore::unusableFilesAreMovedAside_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("text") << u"text"_s;
    QTest::newRow("another program's database") << u"foreign"_s;
    QTest::newRow("damaged pages") << u"damaged"_s;
    QTest::newRow("a folder in its place") << u"folder"_s;
}

void TestLearnerStore::unusableFilesAreMovedAside()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"learner.sqlite"_s);
    if (kind == u"text"_s) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("my notes, not a database\n");
    } else if (kind == u"foreign"_s) {
        run(path, {u"CREATE TABLE photos (id INTEGER PRIMARY KEY, name TEXT)"_s,
                   u"INSERT INTO photos (name) VALUES ('beach.jpg')"_s});
    } else if (kind == u"damaged"_s) {
        damage(path);
    } else {
        QVERIFY(QDir().mkpath(path + u"/inside"_s));
    }
    const QByteArray before = QFileInfo(path).isFile() ? bytesOf(path) : QByteArray();

    LearnerStore store(connection());
    const LearnerStore::Opening opening = store.open(path);
    QCOMPARE(opening.access, LearnerStore::Access::Writable);
    QVERIFY2(!opening.movedAside.isEmpty(), qPrintable(opening.problem));
    QVERIFY(!opening.problem.isEmpty());
    QCOMPARE(asideFiles(dir), QStringList{QFileInfo(opening.movedAside).fileName()});
    if (!before.isEmpty())
        QCOMPARE(bytesOf(opening.movedAside), before);
    // A fresh record in its place, working.
    QVERIFY(store.load(CourseA)->bookmarks.isEmpty());
    fill(store);
    QCOMPARE(store.integrityCheck(), u"ok"_s);
}

void TestLearnerStore::newerFormatIsLeftAlone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"learner.sqlite"_s);
    {
        LearnerStore store(connection());
        store.open(path);
        fill(store);
    }
    run(path, {u"PRAGMA user_version=99"_s, u"PRAGMA wal_checkpoint(TRUNCATE)"_s});
    const QByteArray before = bytesOf(path);
    LearnerStore store(connection());
    const LearnerStore::Opening opening = store.open(path);
    QCOMPARE(opening.access, LearnerStore::Access::None);
    QVERIFY(opening.movedAside.isEmpty());
    QVERIFY2(opening.problem.contains(u"newer version"_s), qPrintable(opening.problem));
    QVERIFY(!store.load(CourseA));
    QVERIFY(!store.begin());
    store.close();
    QCOMPARE(bytesOf(path), before);
    QVERIFY(asideFiles(dir).isEmpty());
}

void TestLearnerStore::migrationsGoStepByStepAndAllOrNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"learner.sqlite"_s);
    const Learner::SchemaStep one{1, {u"CREATE TABLE notes (text TEXT)"_s, u"INSERT INTO notes VALUES ('kept')"_s}};
    const Learner::SchemaStep two{2, {u"ALTER TABLE notes ADD COLUMN at INTEGER NOT NULL DEFAULT 0"_s}};
    const Learner::SchemaStep broken{3, {u"CREATE TABLE more (x)"_s, u"INSERT INTO nowhere VALUES (1)"_s}};
    {
        LearnerStore store(connection(), {one});
        QCOMPARE(store.open(path).access, LearnerStore::Access::Writable);
        QCOMPARE(store.version(), 1);
    }
    {
        // An older record is brought up to date, its rows kept.
        LearnerStore store(connection(), {one, two});
        QCOMPARE(store.open(path).access, LearnerStore::Access::Writable);
        QCOMPARE(store.version(), 2);
    }
    QCOMPARE(ask(path, u"SELECT text || '/' || at FROM notes"_s).toString(), u"kept/0"_s);
    {
        // A step that fails leaves the record at the version before it, whole.
        LearnerStore store(connection(), {one, two, broken});
        const LearnerStore::Opening opening = store.open(path);
        QCOMPARE(opening.access, LearnerStore::Access::None);
        QVERIFY2(opening.problem.contains(u"format 3"_s), qPrintable(opening.problem));
        QVERIFY(opening.movedAside.isEmpty());
    }
    QCOMPARE(ask(path, u"PRAGMA user_version"_s).toInt(), 2);
    QCOMPARE(ask(path, u"SELECT count(*) FROM sqlite_master WHERE name = 'more'"_s).toInt(), 0);
    QCOMPARE(ask(path, u"SELECT text FROM notes"_s).toString(), u"kept"_s);
}

void TestLearnerStore::unwritablePlaceSavesNothing()
{
    // Even root cannot make a file there.
    LearnerStore store(connection());
    const LearnerStore::Opening opening = store.open(u"/proc/tamberlyn-test/learner.sqlite"_s);
    QCOMPARE(opening.access, LearnerStore::Access::None);
    QVERIFY(!opening.problem.isEmpty());
    QVERIFY(!store.load(CourseA));
    QVERIFY(!store.begin());
    QCOMPARE(store.trouble(), LearnerStore::Trouble::NotWritable);
}

void TestLearnerStore::fullDiskLosesOnlyTheWriteUnderWay()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"learner.sqlite"_s);
    LearnerStore store(connection());
    store.open(path);
    fill(store);
    // The record may not grow by a single page more: the disk is full.
    const int pages = ask(path, u"PRAGMA page_count"_s).toInt();
    store.setMaxPageCount(pages);
    bool full = false;
    for (int round = 0; round < 200 && !full; ++round) {
        QVERIFY(store.begin());
        bool done = true;
        for (int i = 0; i < 50 && done; ++i)
            done = store.addVisit(CourseA, u"kq%1.vxp"_s.arg(round * 50 + i, 8, 10, QLatin1Char('0')), i);
        if (done && store.commit())
            continue;
        if (!done)
            store.rollback();
        full = true;
    }
    QVERIFY(full);
    QCOMPARE(store.trouble(), LearnerStore::Trouble::Full);
    store.close();
    LearnerStore again(connection());
    QCOMPARE(again.open(path).access, LearnerStore::Access::Writable);
    QCOMPARE(again.integrityCheck(), u"ok"_s);
    const std::optional<LearnerStore::Snapshot> kept = again.load(CourseA);
    QCOMPARE(kept->bookmarks.size(), 1);
    QVERIFY(kept->pagesRead.contains(u"kq010000.vxp"_s));
}

void TestLearnerStore::forgetLeavesNothingOfTheCourseInTheFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"learner.sqlite"_s);
    const QByteArray secret("SECRET-NOTE-4711");
    LearnerStore store(connection());
    store.open(path);
    fill(store);
    QVERIFY(store.begin());
    QVERIFY(store.putBookmark(CourseA, bookmark(2, QString::fromLatin1(secret))));
    QVERIFY(store.addVisit(CourseB, u"kq070003.vxp"_s, 7));
    QVERIFY(store.commit());
    QVERIFY(bytesOf(path).contains(secret) || bytesOf(path + u"-wal"_s).contains(secret));

    QVERIFY(store.begin());
    QVERIFY(store.forget(CourseA));
    QVERIFY(store.commit());
    store.emptyJournal();
    const std::optional<LearnerStore::Snapshot> a = store.load(CourseA);
    QVERIFY(a->pagesRead.isEmpty() && a->bookmarks.isEmpty() && !a->spot);
    QCOMPARE(store.load(CourseB)->pagesRead, (QSet<QString>{u"kq070003.vxp"_s}));
    QVERIFY(!bytesOf(path).contains(secret));
    QVERIFY(!bytesOf(path + u"-wal"_s).contains(secret));
    QCOMPARE(ask(path, u"SELECT count(*) FROM visits"_s).toInt(), 1);
    // Forgetting a course that has no record is no failure.
    QVERIFY(store.begin());
    QVERIFY(store.forget(u"https://c.example/kq_cbt/kq/"_s));
    QVERIFY(store.commit());
}

void TestLearnerStore::workerSavesQueuedWritesOffTheCallersThread()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"learner.sqlite"_s);
    QFile list(dir.filePath(u"files.vxp"_s));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("1\tkq010001.vxp\tModule 1 - Intro\r\n2\tkq010003.vxp\tModule 1 - Page\r\n");
    list.close();
    {
        LearnerWorker worker({path, CourseA, list.fileName()});
        worker.reportCommits(true);
        QSignalSpy opened(&worker, &LearnerWorker::opened);
        QSignalSpy committed(&worker, &LearnerWorker::committed);
        worker.start();
        QVERIFY(opened.wait(10000));
        const auto pages = opened.at(0).at(1).value<Learner::CoursePages>();
        QCOMPARE(pages.pageNamesOf(1), (QStringList{u"kq010001.vxp"_s, u"kq010003.vxp"_s}));
        worker.queue(LearnerWorker::Visit{u"kq010001.vxp"_s, 1});
        worker.queue(LearnerWorker::PutBookmark{bookmark(1, u"note"_s)});
        worker.queue(LearnerWorker::PutBookmark{bookmark(2, u"other"_s)});
        worker.queue(LearnerWorker::DeleteBookmark{2});
        QVERIFY(worker.finish(10000));
        QVERIFY(committed.wait(10000) || !committed.isEmpty());
        QStringList writes;
        for (const QList<QVariant> &call : committed)
            writes += call.at(0).toStringList();
        QCOMPARE(writes, (QStringList{u"visit kq010001.vxp 1"_s, u"bookmark 1 kq020003.vxp note"_s,
                                      u"bookmark 2 kq020003.vxp other"_s, u"delete bookmark 2"_s}));
        // Written before the worker ends are kept too.
        worker.queue(LearnerWorker::Visit{u"kq010003.vxp"_s, 2});
    }
    LearnerStore store(connection());
    store.open(path);
    const std::optional<LearnerStore::Snapshot> saved = store.load(CourseA);
    QCOMPARE(saved->pagesRead, (QSet<QString>{u"kq010001.vxp"_s, u"kq010003.vxp"_s}));
    QCOMPARE(saved->bookmarks.size(), 1);
}

void TestLearnerStore::workerSaysWhenNothingCanBeSaved()
{
    LearnerWorker worker({u"/proc/tamberlyn-test/learner.sqlite"_s, CourseA, {}});
    QSignalSpy opened(&worker, &LearnerWorker::opened);
    QSignalSpy notSaved(&worker, &LearnerWorker::notSaved);
    worker.start();
    QVERIFY(opened.wait(10000));
    QCOMPARE(opened.at(0).at(2).value<LearnerStore::Opening>().access, LearnerStore::Access::None);
    worker.queue(LearnerWorker::Visit{u"kq010001.vxp"_s, 1});
    QVERIFY(notSaved.wait(10000));
    QVERIFY(!notSaved.at(0).at(0).toString().isEmpty());
}

void TestLearnerStore::workerMovesADamagedRecordAsideAfterOpening()
{
    // The worker reads what the viewer needs first and checks the whole file
    // after: damage is moved aside either way, and the fresh record works.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"learner.sqlite"_s);
    damage(path);
    LearnerWorker worker({path, CourseA, {}});
    QSignalSpy opened(&worker, &LearnerWorker::opened);
    QSignalSpy afresh(&worker, &LearnerWorker::startedAfresh);
    worker.start();
    QVERIFY(opened.wait(10000));
    const auto opening = opened.at(0).at(2).value<LearnerStore::Opening>();
    if (opening.movedAside.isEmpty())
        QVERIFY(afresh.wait(10000));
    QCOMPARE(asideFiles(dir).size(), 1);
    worker.queue(LearnerWorker::Visit{u"kq010001.vxp"_s, 1});
    QVERIFY(worker.finish(10000));
    LearnerStore store(connection());
    QCOMPARE(store.open(path).access, LearnerStore::Access::Writable);
    QCOMPARE(store.load(CourseA)->pagesRead, (QSet<QString>{u"kq010001.vxp"_s}));
    QCOMPARE(store.integrityCheck(), u"ok"_s);
}

QTEST_GUILESS_MAIN(TestLearnerStore)
#include "tst_learnerstore.moc"
