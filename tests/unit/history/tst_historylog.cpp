#include "history/historyloader.h"
#include "history/historylog.h"
#include "platform/ansicodepage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <dlfcn.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

namespace {

// Every flush to disk this process asks for: what was flushed, and how
// long the file was then. The history's code calls fdatasync() and fsync();
// these definitions take their place and pass each call on.
struct Flush
{
    QString path;
    qint64 size = -1;
};
std::mutex flushesMutex;
std::vector<Flush> flushes;

void noteFlush(int fd)
{
    char target[4096];
    const ssize_t length = ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), target,
                                      sizeof target);
    struct stat info {};
    const qint64 size = ::fstat(fd, &info) == 0 ? qint64(info.st_size) : -1;
    const std::lock_guard lock(flushesMutex);
    flushes.push_back({length > 0 ? QFile::decodeName(QByteArray(target, length)) : QString(), size});
}

// The longest the file at `path` was when it was flushed, or -1.
qint64 flushedSize(const QString &path)
{
    const std::lock_guard lock(flushesMutex);
    qint64 size = -1;
    for (const Flush &flush : flushes) {
        if (flush.path == path)
            size = std::max(size, flush.size);
    }
    return size;
}

} // namespace

extern "C" int fdatasync(int fd)
{
    noteFlush(fd);
    return reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fdatasync"))(fd);
}

extern "C" int fsync(int fd)
{
    noteFlush(fd);
    return reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"))(fd);
}

class TestHistoryLog final : public QObject
{
    Q_OBJECT

private slots:
    void recordBytes_data();
    void recordBytes();
    void appendsWholeRecordsAndCreatesTheFile();
    void recordsReachTheDisk();
    void missingFolderLosesOnlyThatRecord();
    void tornLastRecordNeverSwallowsTheNext_data();
    void tornLastRecordNeverSwallowsTheNext();
    void ansiRoundTrip_data();
    void ansiRoundTrip();
};

void TestHistoryLog::recordBytes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("content page") << u"kq010003.vxp"_s << QByteArray("\"kq010003.vxp\"\r\n");
    QTest::newRow("kept as it is") << u" kqb.vxp#x "_s << QByteArray("\" kqb.vxp#x \"\r\n");
    QTest::newRow("quote inside, no escaping") << u"a\"b"_s << QByteArray("\"a\"b\"\r\n");
    QTest::newRow("Windows-1252") << u"caf\u00e9\u20ac"_s << QByteArray("\"caf\xe9\x80\"\r\n");
    QTest::newRow("outside the code page") << u"\u4e2d"_s << QByteArray("\"?\"\r\n");
    QTest::newRow("empty name") << QString() << QByteArray("\"\"\r\n");
}

void TestHistoryLog::recordBytes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QCOMPARE(History::HistoryLog::recordFor(name), bytes);
    QCOMPARE(History::HistoryLog::recordFor(u"kq010003.vxp"_s).size(), 16);
}

void TestHistoryLog::appendsWholeRecordsAndCreatesTheFile()
{
    QTemporaryDir dir;
    const History::HistoryLog log(dir.path() + u"/"_s);
    QVERIFY(!QFile::exists(log.filePath()));
    QVERIFY(log.AppendHistory(u"kqb.vxp"_s));
    QVERIFY(log.AppendHistory(u"kq020001.vxp"_s));
    QVERIFY(log.AppendHistory(u"kqb.vxp"_s));
    QFile file(log.filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\"kqb.vxp\"\r\n\"kq020001.vxp\"\r\n\"kqb.vxp\"\r\n"));
    QCOMPARE(log.filePath(), dir.path() + u"/history.vxp"_s);
}

void TestHistoryLog::recordsReachTheDisk()
{
    // Each record is flushed to the disk soon after it is written (off the
    // page turn), and the folder once, when the file is new, so its name
    // survives a power cut too.
    QTemporaryDir dir;
    const History::HistoryLog log(dir.path() + u"/"_s);
    QVERIFY(log.AppendHistory(u"kqb.vxp"_s));
    QTRY_COMPARE_WITH_TIMEOUT(flushedSize(log.filePath()), qint64(11), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(flushedSize(dir.path()) >= 0, 5000);
    QVERIFY(log.AppendHistory(u"kq020001.vxp"_s));
    QTRY_COMPARE_WITH_TIMEOUT(flushedSize(log.filePath()), qint64(27), 5000);
    QVERIFY(History::HistoryLog::waitUntilOnDisk(std::chrono::seconds(5)));
}

void TestHistoryLog::missingFolderLosesOnlyThatRecord()
{
    QTemporaryDir dir;
    const History::HistoryLog log(dir.path() + u"/gone/"_s);
    QVERIFY(!log.AppendHistory(u"kqb.vxp"_s));
    QVERIFY(!QFile::exists(log.filePath()));
}

void TestHistoryLog::tornLastRecordNeverSwallowsTheNext_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("cut inside the name") << QByteArray("\"kqb.vxp\"\r\n\"kq0100")
                                         << QByteArray("\"kqb.vxp\"\r\n\"kq0100\r\n\"kqd.vxp\"\r\n")
                                         << QStringList{u"\"kqb.vxp\""_s, u"\"kq0100"_s, u"\"kqd.vxp\""_s};
    QTest::newRow("cut after the quote") << QByteArray("\"kq010003.vxp\"")
                                         << QByteArray("\"kq010003.vxp\"\r\n\"kqd.vxp\"\r\n")
                                         << QStringList{u"\"kq010003.vxp\""_s, u"\"kqd.vxp\""_s};
    QTest::newRow("cut between CR and LF") << QByteArray("\"kq010003.vxp\"\r")
                                           << QByteArray("\"kq010003.vxp\"\r\n\"kqd.vxp\"\r\n")
                                           << QStringList{u"\"kq010003.vxp\""_s, u"\"kqd.vxp\""_s};
    QTest::newRow("one byte") << QByteArray("\"") << QByteArray("\"\r\n\"kqd.vxp\"\r\n")
                              << QStringList{u"\""_s, u"\"kqd.vxp\""_s};
    QTest::newRow("a bare LF is no line end") << QByteArray("\"kqb.vxp\"\n")
                                              << QByteArray("\"kqb.vxp\"\n\r\n\"kqd.vxp\"\r\n")
                                              << QStringList{u"\"kqb.vxp\"\n"_s, u"\"kqd.vxp\""_s};
    QTest::newRow("whole records: nothing added") << QByteArray("\"kqb.vxp\"\r\n")
                                                  << QByteArray("\"kqb.vxp\"\r\n\"kqd.vxp\"\r\n")
                                                  << QStringList{u"\"kqb.vxp\""_s, u"\"kqd.vxp\""_s};
    QTest::newRow("empty file") << QByteArray() << QByteArray("\"kqd.vxp\"\r\n") << QStringList{u"\"kqd.vxp\""_s};
}

void TestHistoryLog::tornLastRecordNeverSwallowsTheNext()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    const History::HistoryLog log(dir.path() + u"/"_s);
    {
        QFile file(log.filePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(before), before.size());
    }
    QVERIFY(log.AppendHistory(u"kqd.vxp"_s));
    QFile file(log.filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes, after);
    // The History window sees the new visit as a line of its own.
    QCOMPARE(History::HistoryLoader::historyLines(Platform::fromAnsi(bytes)), lines);
}

void TestHistoryLog::ansiRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QTest::newRow("every byte") << all;
}

void TestHistoryLog::ansiRoundTrip()
{
    QFETCH(QByteArray, bytes);
    const QString text = Platform::fromAnsi(bytes);
    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0x9F), QChar(0x0178));
    QCOMPARE(text.at(0xE9), QChar(0xE9));
    QCOMPARE(Platform::toAnsi(text), bytes);
}

QTEST_APPLESS_MAIN(TestHistoryLog)
#include "tst_historylog.moc"
