#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <random>

using namespace Qt::StringLiterals;

namespace {

const QString Course = u"https://crash.example/kq_cbt/kq/"_s;

// What the record holds of the course: the visits by their (unique) times,
// and each bookmark's note, which carries its version.
struct RecordState
{
    QSet<qint64> visits;
    QHash<qint64, QString> bookmarks;
    friend bool operator==(const RecordState &, const RecordState &) = default;
};

struct Op
{
    enum class Kind { Visit, Bookmark, Delete } kind;
    qint64 value = 0; // the visit's time, or the bookmark's id
    QString note;
};

void apply(RecordState &state, const Op &op)
{
    switch (op.kind) {
    case Op::Kind::Visit:
        state.visits.insert(op.value);
        break;
    case Op::Kind::Bookmark:
        state.bookmarks.insert(op.value, op.note);
        break;
    case Op::Kind::Delete:
        state.bookmarks.remove(op.value);
        break;
    }
}

struct Reading
{
    QString integrity;
    RecordState state;
};

// Reads the record as the next start would: SQLite first recovers what the
// journal holds.
Reading readRecord(const QString &path)
{
    static int serial = 0;
    const QString name = u"crash-check-%1"_s.arg(++serial);
    Reading reading;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            QStringList problems;
            if (query.exec(u"PRAGMA integrity_check"_s)) {
                while (query.next())
                    problems << query.value(0).toString();
            } else {
                problems << query.lastError().text();
            }
            reading.integrity = problems.join(u'\n');
            query.exec(u"SELECT v.at FROM visits v JOIN courses c ON c.id = v.course WHERE c.address = '"_s + Course
                       + u"'"_s);
            while (query.next())
                reading.state.visits.insert(query.value(0).toLongLong());
            query.exec(u"SELECT b.id, b.note FROM bookmarks b JOIN courses c ON c.id = b.course WHERE c.address = '"_s
                       + Course + u"'"_s);
            while (query.next())
                reading.state.bookmarks.insert(query.value(0).toLongLong(), query.value(1).toString());
        } else {
            reading.integrity = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return reading;
}

} // namespace

// The learner record killed at random instants while it writes, many times
// over: after every kill SQLite's integrity check must pass, every write
// the worker had committed must be there, and what is there must be the
// writes in the order they were made up to some point (nothing half done,
// nothing out of order). The writer (learnerwriter) drives the viewer's
// own worker thread and store. TAMBERLYN_LEARNER_CRASH_ROUNDS sets the
// number of kills (scripts/run-learner-soak.sh runs many more),
// TAMBERLYN_CRASH_SEED repeats a run.
class TestLearnerCrash final : public QObject
{
    Q_OBJECT

private slots:
    void everyCommittedWriteSurvivesAKill();
};

void TestLearnerCrash::everyCommittedWriteSurvivesAKill()
{
    bool seeded = false;
    const int fromEnv = qEnvironmentVariableIntValue("TAMBERLYN_CRASH_SEED", &seeded);
    const auto seed = seeded ? quint32(fromEnv) : QRandomGenerator::global()->bounded(1u, 1u << 30);
    bool counted = false;
    const int rounds = qMax(1, qEnvironmentVariableIntValue("TAMBERLYN_LEARNER_CRASH_ROUNDS", &counted));
    const int roundCount = counted ? rounds : 25;
    qInfo("learner crash safety: %d kills, seed %u (TAMBERLYN_CRASH_SEED=%u repeats this plan)", roundCount, seed, seed);
    std::mt19937 random(seed);

    QTemporaryDir dir;
    const QString record = dir.filePath(u"learner.sqlite"_s);
    RecordState before;
    qsizetype totalOps = 0;
    qsizetype totalCommitted = 0;
    // Writes committed before their kill, by kind, and the checks passed.
    qsizetype visitsCommitted = 0;
    qsizetype bookmarkEditsCommitted = 0;
    qsizetype deletionsCommitted = 0;
    int integrityChecks = 0;
    const QRegularExpression opLine(u"^op (\\d+) (visit \\S+ (\\d+)|bookmark (\\d+) (v\\d+)|delete (\\d+))$"_s);
    const QRegularExpression committedLine(u"^committed (\\d+)$"_s);

    for (int round = 1; round <= roundCount; ++round) {
        const QString where = u"kill %1: "_s.arg(round);
        QProcess writer;
        writer.setProcessChannelMode(QProcess::SeparateChannels);
        writer.start(QStringLiteral(TAMBERLYN_LEARNER_WRITER),
                     {record, Course, QString::number(std::uniform_int_distribution<quint32>()(random))});
        QVERIFY2(writer.waitForStarted(10000), qPrintable(where + writer.errorString()));
        QByteArray out;
        const QDeadlineTimer opened(20000);
        while (!out.contains("opened") && !opened.hasExpired() && writer.state() == QProcess::Running) {
            writer.waitForReadyRead(50);
            out += writer.readAllStandardOutput();
        }
        QVERIFY2(out.contains("opened"), qPrintable(where + QString::fromUtf8(writer.readAllStandardError())));
        // Anywhere from the first writes to a few hundred of them.
        const QDeadlineTimer killAt(std::uniform_int_distribution<int>(5, 400)(random));
        while (!killAt.hasExpired() && writer.state() == QProcess::Running)
            writer.waitForReadyRead(int(qMax<qint64>(1, killAt.remainingTime())));
        QVERIFY2(writer.state() == QProcess::Running,
                 qPrintable(where + u"the writer ended by itself: "_s + QString::fromUtf8(writer.readAllStandardError())));
        ::kill(pid_t(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished(10000));
        out += writer.readAllStandardOutput();

        QList<Op> ops;
        int committed = -1;
        for (const QByteArray &raw : out.split('\n')) {
            const QString line = QString::fromUtf8(raw);
            if (const auto match = opLine.match(line); match.hasMatch()) {
                QCOMPARE(match.captured(1).toLongLong(), qint64(ops.size()));
                if (!match.captured(3).isEmpty())
                    ops.append({Op::Kind::Visit, match.captured(3).toLongLong(), {}});
                else if (!match.captured(4).isEmpty())
                    ops.append({Op::Kind::Bookmark, match.captured(4).toLongLong(), match.captured(5)});
                else
                    ops.append({Op::Kind::Delete, match.captured(6).toLongLong(), {}});
            } else if (const auto done = committedLine.match(line); done.hasMatch()) {
                committed = qMax(committed, done.captured(1).toInt());
            }
        }
        QVERIFY2(committed < ops.size(), qPrintable(where + u"a commit of a write never announced"_s));

        const Reading after = readRecord(record);
        QCOMPARE(after.integrity, u"ok"_s);
        ++integrityChecks;
        // The record must be the writes up to some point at or after the
        // last commit the worker told of.
        RecordState expected = before;
        for (int i = 0; i <= committed; ++i)
            apply(expected, ops.at(i));
        qsizetype through = committed;
        while (!(expected == after.state) && through + 1 < ops.size())
            apply(expected, ops.at(++through));
        if (!(expected == after.state)) {
            QFAIL(qPrintable(where + u"the record is no prefix of the writes: %1 visits and %2 bookmarks there, "
                                     "%3 writes made, %4 committed"_s
                                         .arg(after.state.visits.size())
                                         .arg(after.state.bookmarks.size())
                                         .arg(ops.size())
                                         .arg(committed + 1)));
        }
        totalOps += ops.size();
        totalCommitted += committed + 1;
        for (int i = 0; i <= committed; ++i) {
            switch (ops.at(i).kind) {
            case Op::Kind::Visit:
                ++visitsCommitted;
                break;
            case Op::Kind::Bookmark:
                ++bookmarkEditsCommitted;
                break;
            case Op::Kind::Delete:
                ++deletionsCommitted;
                break;
            }
        }
        before = after.state;
    }
    QVERIFY(QDir(dir.path()).entryList({u"*.unreadable-*"_s}).isEmpty());
    qInfo("learner crash safety: %lld writes made, %lld of them committed before their kill, %lld visits and %lld "
          "bookmarks in the record at the end",
          static_cast<long long>(totalOps), static_cast<long long>(totalCommitted),
          static_cast<long long>(before.visits.size()), static_cast<long long>(before.bookmarks.size()));
    qInfo("learner crash safety: committed %lld visits, %lld bookmark additions and edits, %lld bookmark deletions; "
          "%d kills, %d integrity checks all \"ok\"",
          static_cast<long long>(visitsCommitted), static_cast<long long>(bookmarkEditsCommitted),
          static_cast<long long>(deletionsCommitted), roundCount, integrityChecks);
    QVERIFY2(totalCommitted > 0, "nothing was ever committed: the kills came too early to test anything");
}

QTEST_GUILESS_MAIN(TestLearnerCrash)
#include "tst_learnercrash.moc"
