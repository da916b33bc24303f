// tamberlyn-index rebuilding a served index again and again while readers
// search it: the Search window's own loading in this process, as fast as it
// can, and the tool's search command now and then. Every reading must be
// one whole pair, the old or the new, never files.vxp of one with
// words.vxp of the other.
//
// TAMBERLYN_RACE_SECONDS sets how long it runs (default: 5 s and at least
// 12 rebuilds, which a mixing reader met 4 times on average);
// scripts/run-index-race.sh runs it for ten minutes.
#include "finders/finderfiles.h"
#include "tables/tablefilereader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

namespace {

const QString Query = u"inverter"_s;

QString runSearch(const QString &folder)
{
    QProcess process;
    process.start(QStringLiteral(TAMBERLYN_INDEX), {u"search"_s, folder, Query});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return u"(search failed)"_s;
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A course of `pages` pages whose titles say which course they are from;
// `every`-th page holds the query word. Long titles make files.vxp long,
// so a reader spends a while between the two files, as a real one does.
bool writeCourse(const QString &root, const QString &name, int pages, int every)
{
    const QString kq = root + u"/kq_cbt/kq/"_s;
    if (!QDir().mkpath(kq))
        return false;
    for (int n = 0; n < pages; ++n) {
        QFile page(kq + u"kq01%1.vxp"_s.arg(n, 4, 10, QLatin1Char('0')));
        const QString title = u"%1 page %2 "_s.arg(name).arg(n) + QString(2000, u'x');
        const QString body = n % every == 0 ? Query + u" and more"_s : u"nothing here"_s;
        if (!page.open(QIODevice::WriteOnly)
            || page.write((u"<title>"_s + title + u"</title><p>"_s + body + u"</p>"_s).toUtf8()) < 0)
            return false;
    }
    return true;
}

// What the Search window lists for the query: its titles and pages.
QStringList listed(const Finders::LoadedSearchIndex &loaded)
{
    const auto result = loaded.index.search(Query);
    if (!result)
        return {};
    QStringList lines = result->entries;
    lines += result->resultFiles;
    return lines;
}

} // namespace

class TestIndexToolRace final : public QObject
{
    Q_OBJECT

private slots:
    void readersNeverSeeAMixedPair();

private:
    QTemporaryDir m_dir;
};

void TestIndexToolRace::readersNeverSeeAMixedPair()
{
    const int seconds = qEnvironmentVariableIsSet("TAMBERLYN_RACE_SECONDS")
        ? qEnvironmentVariableIntValue("TAMBERLYN_RACE_SECONDS")
        : 5;
    constexpr int MinimumRebuilds = 12;
    // Two courses whose numbers differ: B has a page more, and the word on
    // other pages.
    const QStringList courses{m_dir.filePath(u"a"_s), m_dir.filePath(u"b"_s)};
    QVERIFY(writeCourse(courses.at(0), u"A"_s, 120, 3));
    QVERIFY(writeCourse(courses.at(1), u"B"_s, 121, 4));
    const Tables::TableFileReader reader;
    QList<QStringList> expected;
    QStringList expectedOutput;
    for (const QString &course : courses) {
        const QString index = course + u"-index"_s;
        QProcess build;
        build.start(QStringLiteral(TAMBERLYN_INDEX), {u"build"_s, course, index});
        QVERIFY(build.waitForFinished(60000) && build.exitCode() == 0);
        expected.append(listed(Finders::loadSearchIndex(reader, index)));
        expectedOutput.append(runSearch(index));
    }
    QVERIFY(expected.at(0) != expected.at(1) && !expected.at(0).isEmpty());

    const QString live = m_dir.filePath(u"live"_s);
    QVERIFY(QDir().mkpath(live));
    for (const char *name : {"files.vxp", "words.vxp"})
        QVERIFY(QFile::copy(courses.at(0) + u"-index/"_s + QLatin1String(name), live + u'/' + QLatin1String(name)));
    std::atomic<bool> stop = false;
    std::atomic<int> rebuilds = 0;
    std::atomic<int> failedBuilds = 0;
    std::thread rebuilder([&] {
        for (int n = 1; !stop; ++n) {
            QProcess build;
            build.start(QStringLiteral(TAMBERLYN_INDEX), {u"build"_s, courses.at(n % 2), live});
            if (build.waitForFinished(60000) && build.exitCode() == 0)
                ++rebuilds;
            else
                ++failedBuilds;
        }
    });

    int reads = 0;
    int toolReads = 0;
    int mixed = 0;
    int messages = 0;
    QString firstMixed;
    QElapsedTimer running;
    running.start();
    while (running.elapsed() < qint64(seconds) * 1000 || rebuilds < MinimumRebuilds) {
        if (running.elapsed() > qint64(seconds) * 1000 + 60000)
            break;
        const Finders::LoadedSearchIndex loaded = Finders::loadSearchIndex(reader, live);
        messages += int(loaded.messages.size());
        const QStringList got = listed(loaded);
        ++reads;
        if (!expected.contains(got)) {
            if (mixed++ == 0)
                firstMixed = got.mid(0, 3).join(u" | "_s);
        }
        // The tool's own search, as the probe ran it.
        if (reads % 40 == 0) {
            const QString output = runSearch(live);
            ++toolReads;
            if (!expectedOutput.contains(output) && mixed++ == 0)
                firstMixed = output.left(200);
        }
    }
    stop = true;
    rebuilder.join();
    qInfo("%d readings (%d by the tool) during %d rebuilds in %lld ms: %d mixed", reads, toolReads, rebuilds.load(),
          running.elapsed(), mixed);
    QCOMPARE(failedBuilds.load(), 0);
    QCOMPARE(messages, 0);
    QVERIFY2(mixed == 0, qPrintable(u"%1 of %2 readings mixed the pair; the first: %3"_s.arg(mixed).arg(reads).arg(
                             firstMixed)));
    QVERIFY(rebuilds >= MinimumRebuilds && reads >= 100);
}

QTEST_GUILESS_MAIN(TestIndexToolRace)
#include "tst_indextool_race.moc"
