#include "finders/finderfiles.h"
#include "finders/indexfolder.h"
#include "tables/tablefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Tamberlyn::Finders;
using namespace Tamberlyn::Tables;
using namespace Qt::StringLiterals;

namespace {

// An installed layout: the viewer in bin/, its data in share/tamberlyn/.
const QString ProgramFolder = u"bin"_s;
const QString DataFolder = u"share/tamberlyn"_s;
const QString DataFromProgram = u"../share/tamberlyn"_s;

// Each folder's copy of the index names the same page under a title that
// tells where it was read from.
bool writeIndexFile(const QString &folder, const QString &name)
{
    QFile file(QDir(folder).filePath(name));
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray line = name == QLatin1String(WordsFileName)
                                ? QByteArrayLiteral("sun\t1\t\r\n")
                                : "1\tkq010003.vxp\tFrom " + QFileInfo(folder).fileName().toLatin1() + "\r\n";
    return file.write(line) == line.size();
}

} // namespace

class TestIndexFolder final : public QObject
{
    Q_OBJECT

private slots:
    void candidates_data();
    void candidates();
    void lookup_data();
    void lookup();
    void tablesOverTheirSizeAreSaidToBe();
};

void TestIndexFolder::candidates_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QString>("dataFromProgram");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("system install") << u"/usr/bin"_s << DataFromProgram
                                    << QStringList{u"/usr/bin"_s, u"/usr/share/tamberlyn"_s};
    QTest::newRow("install moved to another prefix")
        << u"/opt/course/bin"_s << DataFromProgram << QStringList{u"/opt/course/bin"_s, u"/opt/course/share/tamberlyn"_s};
    QTest::newRow("absolute data folder") << u"/usr/bin"_s << u"/srv/tamberlyn"_s
                                          << QStringList{u"/usr/bin"_s, u"/srv/tamberlyn"_s};
    QTest::newRow("no data folder") << u"/usr/bin"_s << QString() << QStringList{u"/usr/bin"_s};
}

void TestIndexFolder::candidates()
{
    QFETCH(QString, programFolder);
    QFETCH(QString, dataFromProgram);
    QFETCH(QStringList, expected);
    QCOMPARE(indexFolderCandidates(programFolder, dataFromProgram), expected);
}

void TestIndexFolder::lookup_data()
{
    QTest::addColumn<QStringList>("inProgram");
    QTest::addColumn<QStringList>("inData");
    QTest::addColumn<QString>("expectedFolder");
    // What the Search window lists for "sun" from the chosen folder.
    QTest::addColumn<QStringList>("expectedEntries");

    const QStringList both{QLatin1String(WordsFileName), QLatin1String(FilesFileName)};
    const QStringList fromBin{u"From bin "_s};
    const QStringList fromData{u"From tamberlyn "_s};
    QTest::newRow("beside the program") << both << QStringList() << ProgramFolder << fromBin;
    QTest::newRow("only in the data folder") << QStringList() << both << DataFolder << fromData;
    QTest::newRow("in both: the program's own wins") << both << both << ProgramFolder << fromBin;
    // The pair is never mixed: the page table missing beside the program
    // leaves the word's file number without a page.
    QTest::newRow("one file beside the program")
        << QStringList{QLatin1String(WordsFileName)} << both << ProgramFolder << QStringList();
    QTest::newRow("page table only, in the data folder")
        << QStringList() << QStringList{QLatin1String(FilesFileName)} << DataFolder << QStringList();
    // As before there was a data folder: empty tables and not a word said.
    QTest::newRow("in neither") << QStringList() << QStringList() << ProgramFolder << QStringList();
    // A first build into the program folder, stopped after its commit: the
    // pair it committed is the index.
    const QString ready = QLatin1String(ReadyFolderName) + u'/';
    QTest::newRow("committed, not yet in place") << QStringList{ready + both.at(0), ready + both.at(1)} << both
                                                 << ProgramFolder << QStringList{u"From "_s + ready.chopped(1) + u' '};
}

void TestIndexFolder::lookup()
{
    QFETCH(QStringList, inProgram);
    QFETCH(QStringList, inData);
    QFETCH(QString, expectedFolder);
    QFETCH(QStringList, expectedEntries);

    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    const QDir root(prefix.path());
    QVERIFY(root.mkpath(ProgramFolder) && root.mkpath(DataFolder));
    for (const QString &name : inProgram) {
        const QFileInfo where(root.filePath(ProgramFolder) + u'/' + name);
        QVERIFY(writeIndexFile(where.path(), where.fileName()));
    }
    for (const QString &name : inData)
        QVERIFY(writeIndexFile(root.filePath(DataFolder), name));

    const QString folder = indexFolder(indexFolderCandidates(root.filePath(ProgramFolder), DataFromProgram),
                                       [](const QString &path) { return QFileInfo(path).isFile(); });
    QCOMPARE(folder, root.filePath(expectedFolder));

    const LoadedSearchIndex loaded = loadSearchIndex(TableFileReader(), folder);
    QVERIFY(loaded.messages.isEmpty());
    const std::optional<SearchResult> found = loaded.index.search(u"sun"_s);
    QVERIFY(found);
    QCOMPARE(found->entries, expectedEntries);
}

void TestIndexFolder::tablesOverTheirSizeAreSaidToBe()
{
    // Refused unread, as a table with too many lines is cut short: the
    // learner gets the same box, never an empty list in silence.
    QTemporaryDir folder;
    for (const char *name : {WordsFileName, FilesFileName}) {
        QFile file(folder.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(TableFileReader::MaxFileBytes + 1));
    }
    QCOMPARE(loadSearchIndex(TableFileReader(), folder.path()).messages,
             (QList<TableMessage>{TableMessage::TooManyFiles, TableMessage::TooManyWords}));
    QCOMPARE(loadWordIndex(TableFileReader(), folder.path()).messages, QList<TableMessage>{TableMessage::TooManyWords});
}

QTEST_GUILESS_MAIN(TestIndexFolder)
#include "tst_indexfolder.moc"
