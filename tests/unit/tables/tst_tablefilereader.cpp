#include "tables/boundedread.h"
#include "tables/codepage.h"
#include "tables/numberfields.h"
#include "tables/tablefilereader.h"
#include "tables/tablelines.h"
#include "tables/textrules.h"

#include "tables/tablefiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

using namespace Tamberlyn::Tables;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Tamberlyn::Tables::ReadEnd)

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The old pair of an index folder, and the new one a build switches in.
const QByteArray OldFiles = "1\tkqold.vxp\tOld\r\n";
const QByteArray OldWords = "old\t1\t\r\n";
const QByteArray NewFiles = "1\tkqnew.vxp\tNew\r\n";
const QByteArray NewWords = "new\t1\t\r\n";

// Which pair a reading got, file by file: "old new" is a mix.
QString pairOf(const PairRead &read)
{
    return read.files.table.slot(1).pageFile.mid(2, 3) + u' ' + read.words.table.slot(1).word;
}

QString lines(qsizetype count, const QString &line)
{
    QString text;
    for (qsizetype i = 0; i < count; ++i)
        text += line + u"\r\n"_s;
    return text;
}

} // namespace

class TestTableFileReader final : public QObject
{
    Q_OBJECT

private slots:
    void cutting_data();
    void cutting();
    void wordsKeepTheirLineNumbers();
    void filesFields();
    void filesBadNumberStopsTheReading();
    void lineLimit_data();
    void lineLimit();
    void int16Rule_data();
    void int16Rule();
    void fileNumbers_data();
    void fileNumbers();
    void fileListFields();
    void textRules();
    void filesOnDisk();
    void refusedFromItsSize_data();
    void refusedFromItsSize();
    void boundedReading_data();
    void boundedReading();
    void aPairIsReadAsItsLastSwitchLeftIt_data();
    void aPairIsReadAsItsLastSwitchLeftIt();
    void aReaderWaitsForASwitchInProgress();
};

void TestTableFileReader::cutting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QList<int>>("ends");

    const int crlf = int(LineEnd::CrLf);
    QTest::newRow("CR LF lines") << u"a\r\nb\r\n"_s << QStringList{u"a"_s, u"b"_s} << QList<int>{crlf, crlf};
    QTest::newRow("no final CR LF") << u"a\r\nb"_s << QStringList{u"a"_s, u"b"_s}
                                    << QList<int>{crlf, int(LineEnd::None)};
    QTest::newRow("blank lines count") << u"\r\n\r\nx\r\n"_s << QStringList{QString(), QString(), u"x"_s}
                                       << QList<int>{crlf, crlf, crlf};
    QTest::newRow("CR eats the next character") << u"ab\rXcd\r\n"_s << QStringList{u"ab"_s, u"cd"_s}
                                                << QList<int>{int(LineEnd::CrOther), crlf};
    QTest::newRow("CR at the very end") << u"a\r"_s << QStringList{u"a"_s} << QList<int>{int(LineEnd::CrAtEnd)};
    QTest::newRow("bare LF is text") << u"a\nb\r\n"_s << QStringList{u"a\nb"_s} << QList<int>{crlf};
    QTest::newRow("empty") << QString() << QStringList() << QList<int>();
}

void TestTableFileReader::cutting()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(QList<int>, ends);
    const CutText cut = cutLines(text);
    QStringList got;
    QList<int> gotEnds;
    for (const TextLine &line : cut.lines) {
        got.append(line.text.toString());
        gotEnds.append(int(line.end));
    }
    QCOMPARE(got, expected);
    QCOMPARE(gotEnds, ends);
    QVERIFY(!cut.overLimit);
}

void TestTableFileReader::wordsKeepTheirLineNumbers()
{
    // A line without a TAB uses up its number; the last line needs no CR LF.
    const WordsRead read = TableFileReader::parseWords(u"cable\t1\t2\t\r\n\r\nno tab\r\n cab \t3\t\r\nwire\t4"_s);
    QCOMPARE(read.end, ReadEnd::Complete);
    QVERIFY(!read.message);
    QCOMPARE(read.table.lineCount(), 5);
    QCOMPARE(read.table.slot(1), (WordLine{u"cable"_s, u"1\t2\t"_s}));
    QCOMPARE(read.table.slot(2), WordLine());
    QCOMPARE(read.table.slot(3), WordLine());
    QCOMPARE(read.table.slot(4), (WordLine{u" cab "_s, u"3\t"_s}));
    QCOMPARE(read.table.slot(5), (WordLine{u"wire"_s, u"4"_s}));
    QCOMPARE(read.table.slot(0), WordLine());
    QCOMPARE(read.table.slot(6), WordLine());
}

void TestTableFileReader::filesFields()
{
    const FilesRead read =
        TableFileReader::parseFiles(u"1\tkq010003.vxp\tWhat a PV system does\r\n\r\n3\tkqd.vxp\r\n4\tp.vxp\tA\tB"_s);
    QCOMPARE(read.end, ReadEnd::Complete);
    QCOMPARE(read.table.lineCount(), 4);
    QCOMPARE(read.table.slot(1), (PageLine{u"kq010003.vxp"_s, u"What a PV system does"_s}));
    QCOMPARE(read.table.slot(2), PageLine()); // no TAB, so no number to check either
    QCOMPARE(read.table.slot(3), PageLine()); // a rest without TAB stores nothing
    QCOMPARE(read.table.slot(4), (PageLine{u"p.vxp"_s, u"A\tB"_s}));
}

void TestTableFileReader::filesBadNumberStopsTheReading()
{
    const FilesRead read = TableFileReader::parseFiles(u"1\ta.vxp\tA\r\n2\tb.vxp\tB\r\nx\tc.vxp\tC\r\n4\td.vxp\tD\r\n"_s);
    QCOMPARE(read.end, ReadEnd::BadNumber);
    QCOMPARE(read.stopLine, 3);
    QVERIFY(!read.message);
    QCOMPARE(read.table.lineCount(), 2);
    QCOMPARE(read.table.slot(2).pageFile, u"b.vxp"_s);
    QCOMPARE(read.table.slot(4), PageLine());

    // The same field in "words.vxp" is just a word.
    QCOMPARE(TableFileReader::parseWords(u"x\tc.vxp\tC\r\n"_s).table.slot(1).word, u"x"_s);
}

void TestTableFileReader::lineLimit_data()
{
    QTest::addColumn<bool>("files");
    QTest::addColumn<QString>("text");
    QTest::addColumn<ReadEnd>("end");
    QTest::addColumn<int>("kept");

    QTest::newRow("12400 words") << false << lines(12400, u"w\t1\t"_s) << ReadEnd::Complete << 12400;
    QTest::newRow("12401 words") << false << lines(12401, u"w\t1\t"_s) << ReadEnd::TooManyLines << 12400;
    QTest::newRow("12400 and a blank") << false << lines(12400, u"w\t1\t"_s) + u"\r\n"_s
                                       << ReadEnd::TooManyLines << 12400;
    QTest::newRow("12400 files") << true << lines(12400, u"1\tp\tt"_s) << ReadEnd::Complete << 12400;
    QTest::newRow("12401 files") << true << lines(12401, u"1\tp\tt"_s) << ReadEnd::TooManyLines << 12400;
    QTest::newRow("bad number first") << true << u"x\tp\tt\r\n"_s + lines(12401, u"1\tp\tt"_s)
                                      << ReadEnd::BadNumber << 0;
}

void TestTableFileReader::lineLimit()
{
    QFETCH(bool, files);
    QFETCH(QString, text);
    QFETCH(ReadEnd, end);
    QFETCH(int, kept);
    const auto check = [&](const auto &read, TableMessage message) {
        QCOMPARE(read.end, end);
        QCOMPARE(read.table.lineCount(), kept);
        if (end == ReadEnd::TooManyLines) {
            QCOMPARE(read.message, std::optional<TableMessage>(message));
            QCOMPARE(read.stopLine, 12401);
        } else {
            QVERIFY(!read.message);
        }
    };
    if (files)
        check(TableFileReader::parseFiles(text), TableMessage::TooManyFiles);
    else
        check(TableFileReader::parseWords(text), TableMessage::TooManyWords);
}

void TestTableFileReader::int16Rule_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("converts");

    const QStringList good{u"1"_s, u" 12 "_s, u"-32768"_s, u"32767"_s, u"+5"_s, u"007"_s, u"0"_s};
    for (const QString &field : good)
        QTest::newRow(qPrintable(u"'"_s + field + u"'"_s)) << field << true;
    const QStringList bad{u"32768"_s, u"-32769"_s, QString(), u" "_s, u"-"_s, u"1.5"_s, u"0x10"_s,
                          u"1e3"_s, u"12a"_s, u"1 2"_s, u"\t1"_s, u"99999999999999999999999"_s};
    for (const QString &field : bad)
        QTest::newRow(qPrintable(u"bad '"_s + field + u"'"_s)) << field << false;
}

void TestTableFileReader::int16Rule()
{
    QFETCH(QString, field);
    QFETCH(bool, converts);
    QCOMPARE(isInt16Field(field), converts);
}

void TestTableFileReader::fileNumbers_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<qsizetype>("number"); // 0: skipped

    QTest::newRow("one") << u"1"_s << qsizetype(1);
    QTest::newRow("last line") << u"12400"_s << qsizetype(12400);
    QTest::newRow("spaces") << u" 7 "_s << qsizetype(7);
    QTest::newRow("leading zeros") << u"007"_s << qsizetype(7);
    QTest::newRow("zero") << u"0"_s << qsizetype(0);
    QTest::newRow("above the table") << u"12401"_s << qsizetype(0);
    QTest::newRow("huge") << u"123456789012345678901234567890"_s << qsizetype(0);
    QTest::newRow("signed") << u"+1"_s << qsizetype(0);
    QTest::newRow("negative") << u"-1"_s << qsizetype(0);
    QTest::newRow("letters") << u"x"_s << qsizetype(0);
    QTest::newRow("empty") << QString() << qsizetype(0);
    QTest::newRow("Arabic-Indic digit") << u"\u0663"_s << qsizetype(0);
}

void TestTableFileReader::fileNumbers()
{
    QFETCH(QString, field);
    QFETCH(qsizetype, number);
    QCOMPARE(fileNumber(field).value_or(0), number);
}

void TestTableFileReader::fileListFields()
{
    const auto walk = [](const QString &list) {
        QStringList fields;
        for (const FileListField &field : Tamberlyn::Tables::fileListFields(list))
            fields.append(field.text.toString() + (field.tabbed ? u"|"_s : u"$"_s));
        return fields;
    };
    QCOMPARE(walk(u"3\t\t5\t"_s), (QStringList{u"3|"_s, u"|"_s, u"5|"_s}));
    QCOMPARE(walk(u"3\t5"_s), (QStringList{u"3|"_s, u"5$"_s}));
    QCOMPARE(walk(QString()), QStringList());
}

void TestTableFileReader::textRules()
{
    QCOMPARE(trimSpaces(u"  a b \t "_s), u"a b \t"_s);
    QCOMPARE(trimSpaces(u"\ta\t"_s), u"\ta\t"_s);
    // One character for one: no "SS" for sharp s.
    QCOMPARE(upperCase(u"caf\u00e9 stra\u00dfe \u00ff \U00010428"_s), u"CAF\u00c9 STRA\u00dfE \u0178 \U00010400"_s);
    QVERIFY(CodePage::named(u"CP1252"_s));
    QVERIFY(CodePage::named(QString()));
    QVERIFY(!CodePage::named(u"utf-8"_s));
    QVERIFY(CodePage::windows1252().canEncode(u"\u20ac\u00e9?"_s));
    QVERIFY(!CodePage::windows1252().canEncode(u"\u4e2d"_s));
}

void TestTableFileReader::filesOnDisk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"words.vxp"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("caf\xe9\t1\t\r\n\x80\t2\t\r\n");
    file.close();

    const WordsRead read = TableFileReader().readWords(path);
    QCOMPARE(read.end, ReadEnd::Complete);
    QCOMPARE(read.table.slot(1).word, u"caf\u00e9"_s);
    QCOMPARE(read.table.slot(2).word, u"\u20ac"_s);

    QCOMPARE(TableFileReader().readWords(dir.filePath(u"gone.vxp"_s)).end, ReadEnd::Missing);
    // The viewer's FileExists decides whether the file is there at all.
    const TableFileReader blind(CodePage::windows1252(), [](const QString &) { return false; });
    QCOMPARE(blind.readWords(path).end, ReadEnd::Missing);
    const TableFileReader credulous(CodePage::windows1252(), [](const QString &) { return true; });
    const FilesRead folder = credulous.readFiles(dir.path());
    QCOMPARE(folder.end, ReadEnd::Unreadable);
    QCOMPARE(folder.table.lineCount(), 0);
}

void TestTableFileReader::refusedFromItsSize_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<ReadEnd>("end");

    QTest::newRow("one byte over") << TableFileReader::MaxFileBytes + 1 << TableFileReader::MaxFileBytes
                                   << ReadEnd::TooBig;
    QTest::newRow("a terabyte") << (qint64(1) << 40) << TableFileReader::MaxFileBytes << ReadEnd::TooBig;
    QTest::newRow("exactly the cap") << qint64(4096) << qint64(4096) << ReadEnd::Complete;
    QTest::newRow("a smaller cap") << qint64(4097) << qint64(4096) << ReadEnd::TooBig;
}

void TestTableFileReader::refusedFromItsSize()
{
    // Sparse files: the size costs no disk, and a reading that went through
    // the bytes before refusing would take seconds and the size in memory.
    QFETCH(qint64, size);
    QFETCH(qint64, maxBytes);
    QFETCH(ReadEnd, end);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"words.vxp"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
    file.close();
    const TableFileReader reader;
    const FileBytes read = reader.readBytes(path, maxBytes);
    QCOMPARE(read.end, end);
    QCOMPARE(read.bytes.size(), end == ReadEnd::Complete ? size : 0);
    if (maxBytes == TableFileReader::MaxFileBytes) {
        QCOMPARE(reader.readWords(path).end, ReadEnd::TooBig);
        QCOMPARE(reader.readFiles(path).table.lineCount(), 0);
        // A table over its size is over its limit: the learner is told, as
        // for one with too many lines, not left with an empty list.
        QCOMPARE(reader.readWords(path).message, TableMessage::TooManyWords);
        QCOMPARE(reader.readFiles(path).message, TableMessage::TooManyFiles);
    }
}

void TestTableFileReader::boundedReading_data()
{
    QTest::addColumn<qsizetype>("held");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<qsizetype>("expected");

    QTest::newRow("empty") << qsizetype(0) << qint64(10) << qsizetype(0);
    QTest::newRow("under the limit") << qsizetype(10) << qint64(11) << qsizetype(10);
    QTest::newRow("exactly the limit") << qsizetype(10) << qint64(10) << qsizetype(10);
    QTest::newRow("stops at the limit") << qsizetype(10) << qint64(4) << qsizetype(4);
    QTest::newRow("no limit, no bytes") << qsizetype(10) << qint64(0) << qsizetype(0);
    QTest::newRow("stops at the limit past the first step") << qsizetype(300'000) << qint64(200'001) << qsizetype(200'001);
    // The limit is never set aside whole: a terabyte of limit for a few
    // bytes is no allocation failure, and no slow read either.
    QTest::newRow("a limit far beyond the content") << qsizetype(300'000) << (qint64(1) << 40) << qsizetype(300'000);
}

void TestTableFileReader::boundedReading()
{
    QFETCH(qsizetype, held);
    QFETCH(qint64, maxBytes);
    QFETCH(qsizetype, expected);
    QByteArray content(held, Qt::Uninitialized);
    for (qsizetype i = 0; i < held; ++i)
        content[i] = char(i % 251);
    QBuffer buffer(&content);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const QByteArray read = readUpTo(buffer, maxBytes);
    QCOMPARE(read.size(), expected);
    QVERIFY(read == content.left(expected));
}

void TestTableFileReader::aPairIsReadAsItsLastSwitchLeftIt_data()
{
    // What a build's switch leaves in the folder (F) and its ready folder
    // (R) when it stops: each file is taken from R while R still has it.
    QTest::addColumn<QByteArray>("folderFiles");
    QTest::addColumn<QByteArray>("folderWords");
    QTest::addColumn<QByteArray>("readyFiles"); // empty: not in R
    QTest::addColumn<QByteArray>("readyWords");
    QTest::addColumn<QString>("pair");

    QTest::newRow("no switch") << OldFiles << OldWords << QByteArray() << QByteArray() << u"old old"_s;
    QTest::newRow("stopped after the commit") << OldFiles << OldWords << NewFiles << NewWords << u"new new"_s;
    QTest::newRow("stopped between the renames") << NewFiles << OldWords << QByteArray() << NewWords << u"new new"_s;
    QTest::newRow("stopped before removing R") << NewFiles << NewWords << QByteArray() << QByteArray() << u"new new"_s;
    QTest::newRow("a first build stopped after its commit") << QByteArray() << QByteArray() << NewFiles << NewWords
                                                            << u"new new"_s;
}

void TestTableFileReader::aPairIsReadAsItsLastSwitchLeftIt()
{
    QFETCH(QByteArray, folderFiles);
    QFETCH(QByteArray, folderWords);
    QFETCH(QByteArray, readyFiles);
    QFETCH(QByteArray, readyWords);
    QFETCH(QString, pair);
    QTemporaryDir dir;
    const QString ready = dir.filePath(QLatin1String(ReadyFolderName));
    QVERIFY(QDir().mkpath(ready));
    for (const auto &[folder, name, bytes] : {std::tuple{dir.path(), FilesFileName, folderFiles},
                                              std::tuple{dir.path(), WordsFileName, folderWords},
                                              std::tuple{ready, FilesFileName, readyFiles},
                                              std::tuple{ready, WordsFileName, readyWords}}) {
        if (!bytes.isEmpty())
            QVERIFY(writeFile(QDir(folder).filePath(QLatin1String(name)), bytes));
    }
    if (readyFiles.isEmpty() && readyWords.isEmpty() && folderFiles == OldFiles)
        QVERIFY(QDir(ready).removeRecursively());
    const TableFileReader reader;
    QCOMPARE(pairOf(reader.readPair(dir.path())), pair);
    QCOMPARE(reader.readPairBytes(dir.path(), TableFileReader::PairPart::Words).words.bytes,
             pair == u"old old"_s ? OldWords : NewWords);

    // Nothing but a real folder, and plain files in it, is taken for R: a
    // link there leads anywhere.
    QTemporaryDir elsewhere;
    QVERIFY(writeFile(elsewhere.filePath(QLatin1String(FilesFileName)), NewFiles));
    QVERIFY(writeFile(elsewhere.filePath(QLatin1String(WordsFileName)), NewWords));
    QVERIFY(QDir(ready).removeRecursively());
    QVERIFY(QFile::link(elsewhere.path(), ready));
    const QString unswitched = folderFiles.isEmpty() ? u" "_s : folderFiles == OldFiles ? u"old "_s : u"new "_s;
    QCOMPARE(pairOf(reader.readPair(dir.path())),
             unswitched + (folderWords.isEmpty() ? QString() : folderWords == OldWords ? u"old"_s : u"new"_s));
}

void TestTableFileReader::aReaderWaitsForASwitchInProgress()
{
    // A build switching a pair in holds the folder locked from its commit
    // to its end; a reader that comes in between waits, and gets the whole
    // new pair rather than the new files.vxp beside the old words.vxp.
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QLatin1String(FilesFileName)), OldFiles));
    QVERIFY(writeFile(dir.filePath(QLatin1String(WordsFileName)), OldWords));
    const QString ready = dir.filePath(QLatin1String(ReadyFolderName));
    QVERIFY(QDir().mkpath(ready));
    QVERIFY(writeFile(QDir(ready).filePath(QLatin1String(FilesFileName)), NewFiles));
    QVERIFY(writeFile(QDir(ready).filePath(QLatin1String(WordsFileName)), NewWords));

    const int folder = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(folder >= 0 && ::flock(folder, LOCK_EX) == 0);
    const auto move = [&](const char *name) {
        return QFile::rename(QDir(ready).filePath(QLatin1String(name)), dir.filePath(QLatin1String(name)));
    };
    QVERIFY(QFile::remove(dir.filePath(QLatin1String(FilesFileName))));
    QVERIFY(move(FilesFileName));
    QString got;
    std::thread reader([&] { got = pairOf(TableFileReader().readPair(dir.path())); });
    QTest::qWait(200);
    QVERIFY(got.isEmpty()); // still waiting
    QVERIFY(QFile::remove(dir.filePath(QLatin1String(WordsFileName))));
    QVERIFY(move(WordsFileName));
    QVERIFY(QDir().rmdir(ready));
    ::flock(folder, LOCK_UN);
    ::close(folder);
    reader.join();
    QCOMPARE(got, u"new new"_s);
}

QTEST_APPLESS_MAIN(TestTableFileReader)
#include "tst_tablefilereader.moc"
