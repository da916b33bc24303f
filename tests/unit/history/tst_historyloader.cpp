#include "history/historyloader.h"
#include "history/historymatcher.h"
#include "history/multipatternmatcher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Tamberlyn;
using namespace Tamberlyn::History;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Tamberlyn::Tables::TableMessage)
Q_DECLARE_METATYPE(QList<Tamberlyn::History::HistoryItem>)

namespace {

const QString Pages = u"1\tkq010003.vxp\tWhat a PV system does\r\n"
                      u"2\tkqb.vxp\tContents\r\n"
                      u"3\t10003.vxp\tPart of a longer name\r\n"_s;

Tables::PageTable pagesOf(const QString &files)
{
    return Tables::TableFileReader::parseFiles(files).table;
}

QString quoted(const QStringList &names)
{
    QString text;
    for (const QString &name : names)
        text += u'"' + name + u"\"\r\n"_s;
    return text;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestHistoryLoader final : public QObject
{
    Q_OBJECT

private slots:
    void matching_data();
    void matching();
    void patternMatcher_data();
    void patternMatcher();
    void withoutAFullPageTableTheRawLinesShowOnce_data();
    void withoutAFullPageTableTheRawLinesShowOnce();
    void historyLimitAndLastLine();
    void noHistoryFile();
    void followsAChangedPageTable();
    void listIsCappedForCraftedTables();
    void aLineFullOfMatchesCostsItsLength();

private:
    QTemporaryDir m_dir;
};

void TestHistoryLoader::matching_data()
{
    QTest::addColumn<QString>("history");
    QTest::addColumn<QString>("files");
    QTest::addColumn<QList<HistoryItem>>("items");

    const HistoryItem what{u"What a PV system does"_s, u"kq010003.vxp"_s};
    const HistoryItem part{u"Part of a longer name"_s, u"10003.vxp"_s};
    const HistoryItem contents{u"Contents"_s, u"kqb.vxp"_s};

    QTest::newRow("seen twice, one not in the table")
        << quoted({u"kq010003.vxp"_s, u"kqd.vxp"_s, u"kq010003.vxp"_s})
        << u"1\tkq010003.vxp\tWhat a PV system does\r\n"_s << QList<HistoryItem>{what, what};
    QTest::newRow("letter case ignored")
        << quoted({u"kq010003.vxp"_s}) << u"1\tKQ010003.VXP\tUpper\r\n"_s
        << QList<HistoryItem>{{u"Upper"_s, u"KQ010003.VXP"_s}};
    QTest::newRow("part of a longer name, in table order")
        << quoted({u"kq010003.vxp"_s, u"kqb.vxp"_s}) << Pages << QList<HistoryItem>{what, part, contents};
    QTest::newRow("an empty page file ends the table")
        << quoted({u"kq010003.vxp"_s, u"kqb.vxp"_s}) << u"1\tkq010003.vxp\tW\r\n2\t  \tBlank\r\n3\tkqb.vxp\tC\r\n"_s
        << QList<HistoryItem>{{u"W"_s, u"kq010003.vxp"_s}};
    QTest::newRow("the first character is not searched")
        << u"kqb.vxp\r\n\"kqb.vxp\"\r\n"_s << Pages << QList<HistoryItem>{contents};
    QTest::newRow("spaces around line and page file")
        << u"   \"kqb.vxp\"  \r\n     \r\n"_s << u"1\t kqb.vxp \tContents\r\n"_s
        << QList<HistoryItem>{{u"Contents"_s, u" kqb.vxp "_s}};
}

void TestHistoryLoader::matching()
{
    QFETCH(QString, history);
    QFETCH(QString, files);
    QFETCH(QList<HistoryItem>, items);
    const QList<HistoryItem> got = HistoryMatcher(pagesOf(files)).match(HistoryLoader::historyLines(history));
    QCOMPARE(got, items);
    for (const HistoryItem &item : got)
        QCOMPARE(item.pageToOpen(), item.page.trimmed());
}

void TestHistoryLoader::patternMatcher_data()
{
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<qsizetype>>("found");

    const QStringList classic{u"he"_s, u"she"_s, u"his"_s, u"hers"_s};
    QTest::newRow("overlapping") << classic << u"ushers"_s << QList<qsizetype>{0, 1, 3};
    QTest::newRow("fail link chain") << QStringList{u"aab"_s, u"ab"_s, u"b"_s, u"aaa"_s} << u"aaab"_s
                                     << QList<qsizetype>{0, 1, 2, 3};
    QTest::newRow("equal patterns all reported") << QStringList{u"x"_s, u"y"_s, u"x"_s} << u"xx"_s
                                                 << QList<qsizetype>{0, 2};
    QTest::newRow("empty pattern never") << QStringList{QString(), u"a"_s} << u"a"_s << QList<qsizetype>{1};
    QTest::newRow("nothing") << classic << u"xyz"_s << QList<qsizetype>();
    QTest::newRow("outside the basic plane") << QStringList{u"\U0001F600"_s, QString(QChar(0xD83D))} << u"a\U0001F600"_s
                                             << QList<qsizetype>{0, 1};
    QTest::newRow("no patterns") << QStringList() << u"abc"_s << QList<qsizetype>();
}

void TestHistoryLoader::patternMatcher()
{
    QFETCH(QStringList, patterns);
    QFETCH(QString, text);
    QFETCH(QList<qsizetype>, found);
    const std::vector<qsizetype> got = MultiPatternMatcher(patterns).patternsIn(text);
    QCOMPARE(QList<qsizetype>(got.begin(), got.end()), found);
}

void TestHistoryLoader::withoutAFullPageTableTheRawLinesShowOnce_data()
{
    QTest::addColumn<QByteArray>("files"); // empty: no "files.vxp"
    QTest::addColumn<QList<Tables::TableMessage>>("messages");

    QTest::newRow("missing") << QByteArray() << QList<Tables::TableMessage>();
    QTest::newRow("bad number") << QByteArray("1\tkqb.vxp\tContents\r\nx\tkqd.vxp\tD\r\n")
                                << QList<Tables::TableMessage>();
    QTest::newRow("over the limit") << QByteArray("1\tkqb.vxp\tContents\r\n").repeated(12401)
                                    << QList<Tables::TableMessage>{Tables::TableMessage::TooManyFiles};
    // Page files longer in all than a matcher takes: a table near its size
    // cap with long names would ask for gigabytes.
    QByteArray longNames;
    for (int n = 1; n <= 1000; ++n)
        longNames += QByteArray::number(n) + '\t' + QByteArray(600, 'x') + QByteArray::number(n) + ".vxp\tT\r\n";
    QTest::newRow("page files past the matcher's cap")
        << longNames << QList<Tables::TableMessage>{Tables::TableMessage::TooManyFiles};
}

void TestHistoryLoader::withoutAFullPageTableTheRawLinesShowOnce()
{
    QFETCH(QByteArray, files);
    QFETCH(QList<Tables::TableMessage>, messages);
    const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(folder));
    const QString history = folder + u"/history.vxp"_s;
    writeFile(history, "\"kqb.vxp\"\r\n\"kq010003.vxp\"\r\n");
    if (!files.isEmpty())
        writeFile(folder + u"/files.vxp"_s, files);

    const HistoryLoader loader;
    const HistoryLoad first = loader.LoadHist(history, folder + u"/files.vxp"_s);
    QVERIFY(!first.matched);
    QCOMPARE(first.items, (QList<HistoryItem>{{u"\"kqb.vxp\""_s, {}}, {u"\"kq010003.vxp\""_s, {}}}));
    QCOMPARE(first.messages, messages);
    // The list is the whole list: showing History again does not add the
    // lines a second time.
    QCOMPARE(loader.LoadHist(history, folder + u"/files.vxp"_s).items, first.items);
}

void TestHistoryLoader::historyLimitAndLastLine()
{
    const QString history = m_dir.filePath(u"long-history.vxp"_s);
    const QString files = m_dir.filePath(u"files.vxp"_s);
    writeFile(files, Pages.toLatin1());
    // 12401 lines, the last one (which is cut off) and the 12400th naming
    // different pages, and no CR LF after the last.
    writeFile(history, QByteArray("\"kqd.vxp\"\r\n").repeated(12399) + "\"kqb.vxp\"\r\n\"kq010003.vxp\"");
    const HistoryLoad load = HistoryLoader().LoadHist(history, files);
    QVERIFY(load.matched);
    QCOMPARE(load.messages, QList<Tables::TableMessage>{Tables::TableMessage::TooManyHistoryEntries});
    QCOMPARE(load.items, (QList<HistoryItem>{{u"Contents"_s, u"kqb.vxp"_s}}));

    writeFile(history, "\"kqd.vxp\"\r\n\"kqb.vxp\"");
    const HistoryLoad shortLoad = HistoryLoader().LoadHist(history, files);
    QVERIFY(shortLoad.messages.isEmpty());
    QCOMPARE(shortLoad.items, (QList<HistoryItem>{{u"Contents"_s, u"kqb.vxp"_s}}));
}

void TestHistoryLoader::noHistoryFile()
{
    const QString files = m_dir.filePath(u"files.vxp"_s);
    writeFile(files, Pages.toLatin1());
    const HistoryLoad load = HistoryLoader().LoadHist(m_dir.filePath(u"none.vxp"_s), files);
    QVERIFY(load.matched);
    QVERIFY(load.items.isEmpty());
    QVERIFY(load.messages.isEmpty());

    // A history past its cap is refused unread, and the learner is told
    // there are too many entries. Sparse, it costs no disk; it begins with a
    // record that would match.
    const QString huge = m_dir.filePath(u"huge.vxp"_s);
    writeFile(huge, "\"kqb.vxp\"\r\n");
    QVERIFY(QFile::resize(huge, HistoryLoader::MaxHistoryBytes + 1));
    const HistoryLoad refused = HistoryLoader().LoadHist(huge, files);
    QVERIFY(refused.items.isEmpty());
    QCOMPARE(refused.messages, QList<Tables::TableMessage>{Tables::TableMessage::TooManyHistoryEntries});
}

void TestHistoryLoader::followsAChangedPageTable()
{
    // One loader for every showing, as the window keeps it: what it reuses
    // from the run before must never hide a change of "files.vxp".
    const QString folder = m_dir.filePath(u"changing"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString history = folder + u"/history.vxp"_s;
    const QString files = folder + u"/files.vxp"_s;
    writeFile(history, "\"kqb.vxp\"\r\n");
    const HistoryLoader loader;

    writeFile(files, "1\tkqb.vxp\tOld title\r\n");
    QCOMPARE(loader.LoadHist(history, files).items, (QList<HistoryItem>{{u"Old title"_s, u"kqb.vxp"_s}}));
    writeFile(files, "1\tkqb.vxp\tNew title\r\n");
    QCOMPARE(loader.LoadHist(history, files).items, (QList<HistoryItem>{{u"New title"_s, u"kqb.vxp"_s}}));
    QVERIFY(QFile::remove(files));
    QCOMPARE(loader.LoadHist(history, files).items, (QList<HistoryItem>{{u"\"kqb.vxp\""_s, {}}}));
    writeFile(files, "1\tkqb.vxp\tNew title\r\n");
    QCOMPARE(loader.LoadHist(history, files).items, (QList<HistoryItem>{{u"New title"_s, u"kqb.vxp"_s}}));
}

void TestHistoryLoader::listIsCappedForCraftedTables()
{
    // Every one of 100 page files occurs in every one of 12400 lines.
    QString files;
    for (int j = 1; j <= 100; ++j)
        files += QString::number(j) + u"\tQ\tT\r\n"_s;
    const QStringList lines(12400, u"\"Q\""_s);
    const QList<HistoryItem> items = HistoryMatcher(pagesOf(files)).match(lines);
    QCOMPARE(items.size(), HistoryMatcher::MaxItems);
}

void TestHistoryLoader::aLineFullOfMatchesCostsItsLength()
{
    // The page files "A", "AA", ... all occur at almost every position of a
    // line of A's: each is reported once, not once a position (which was a
    // list of sixty million before the duplicates went).
    QString files;
    for (int j = 1; j <= 300; ++j)
        files += QString::number(j) + u'\t' + QString(j, u'A') + u"\tT\r\n"_s;
    const HistoryMatcher matcher(pagesOf(files));
    const QStringList lines{u'"' + QString(200'000, u'a') + u'"'};
    const auto residentKiB = [](const char *field) {
        QFile status(u"/proc/self/status"_s);
        if (!status.open(QIODevice::ReadOnly))
            return qint64(-1);
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith(field))
                return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLongLong();
        }
        return qint64(-1);
    };
    QFile clear(u"/proc/self/clear_refs"_s); // "5": the peak starts again from now
    QVERIFY(clear.open(QIODevice::WriteOnly) && clear.write("5") == 1);
    clear.close();
    const qint64 before = residentKiB("VmRSS:");
    const QList<HistoryItem> items = matcher.match(lines);
    const qint64 grown = residentKiB("VmHWM:") - before;
    QCOMPARE(items.size(), 300);
    QCOMPARE(items.last().page, QString(300, u'A'));
    QVERIFY2(before > 0 && grown < 64 * 1024, qPrintable(u"grew by %1 KiB"_s.arg(grown)));
}

QTEST_APPLESS_MAIN(TestHistoryLoader)
#include "tst_historyloader.moc"
