#include "fakes.h"
#include "shmpeer.h"
#include "platform/posix/posixsharedmemory.h"
#include "simbridge/sharedblocks.h"

#include <QTest>

#include <sys/wait.h>

using Tamberlyn::Platform::Dialogs;
using Tamberlyn::Platform::PosixSharedMemory;
using Tamberlyn::SimBridge::SharedBlocks;
using Block = SharedBlocks::Block;

namespace {

const QString FileMap = QStringLiteral("Can't create file map");
const QString MapView = QStringLiteral("Can't create map view");

QByteArray zeros(qsizetype n)
{
    return QByteArray(n, '\0');
}

QByteArray padded(const QByteArray &bytes, qsizetype size)
{
    return bytes + zeros(size - bytes.size());
}

} // namespace

class TestSharedBlocks : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Against real POSIX shared memory.
    void freshStartMakesZeroFilledPrivateBlocks();
    void endFlagIsFourLittleEndianBytes_data();
    void endFlagIsFourLittleEndianBytes();
    void circuitPathImage_data();
    void circuitPathImage();
    void pathBlockIsTheSimulationFlag();
    void existingBlocksKeepTheirContent();
    void blocksThatCannotBeCreatedAreSkipped();
    void releaseKeepsTheBlocks();
    void anotherProcessSeesTheWrites();
    void readsWhatAPeerLeft_data();
    void readsWhatAPeerLeft();
    void unreadableBlocksReadAsZero();

    // Against a recording fake.
    void failuresAreToldInBlockOrder_data();
    void failuresAreToldInBlockOrder();
    void eachWriteIsFlushedExactly_data();
    void eachWriteIsFlushedExactly();
    void releaseUnmapsThenClosesInOrder();

private:
    QByteArray object(Block block) const { return m_prefix + SharedBlocks::blockName(block); }
    QByteArrayList objects() const
    {
        return {object(Block::Prev), object(Block::End), object(Block::Name)};
    }

    QByteArray m_prefix;
};

void TestSharedBlocks::init()
{
    m_prefix = ShmPeer::uniquePrefix();
    ShmPeer::unlinkAll(objects());
}

void TestSharedBlocks::cleanup()
{
    ShmPeer::unlinkAll(objects());
}

void TestSharedBlocks::freshStartMakesZeroFilledPrivateBlocks()
{
    PosixSharedMemory memory(m_prefix);
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();
    blocks.writeEndFlag(0);

    QVERIFY(dialogs.boxes.isEmpty());
    const QList<std::pair<Block, qint64>> sizes = {
        {Block::Prev, 1}, {Block::End, 4}, {Block::Name, 255}};
    for (const auto &[block, size] : sizes) {
        QVERIFY(blocks.hasView(block));
        const auto info = ShmPeer::stat(object(block));
        QVERIFY2(info, object(block).constData());
        QCOMPARE(info->size, size);
        QCOMPARE(info->mode, mode_t{0600});
        QCOMPARE(ShmPeer::contents(object(block)), zeros(size));
    }
    QCOMPARE(blocks.readName(), zeros(255));
    QVERIFY(!blocks.simulationOpen());
}

void TestSharedBlocks::endFlagIsFourLittleEndianBytes_data()
{
    QTest::addColumn<bool>("shutOff");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("started") << false << 0 << QByteArray("\0\0\0\0", 4);
    QTest::newRow("ShutOffVK") << true << 0 << QByteArray("\x01\0\0\0", 4);
    QTest::newRow("byte order") << false << 0x01020304 << QByteArray("\x04\x03\x02\x01", 4);
    QTest::newRow("negative") << false << -2 << QByteArray("\xfe\xff\xff\xff", 4);
}

void TestSharedBlocks::endFlagIsFourLittleEndianBytes()
{
    QFETCH(bool, shutOff);
    QFETCH(qint32, value);
    QFETCH(QByteArray, expected);

    // Whatever the last run left behind, all four bytes are ours afterwards.
    QVERIFY(ShmPeer::put(object(Block::End), QByteArray(4, '\xff')));

    PosixSharedMemory memory(m_prefix);
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();
    if (shutOff)
        blocks.ShutOffVK();
    else
        blocks.writeEndFlag(value);

    QCOMPARE(ShmPeer::contents(object(Block::End)), expected);
}

void TestSharedBlocks::circuitPathImage_data()
{
    QTest::addColumn<QByteArray>("earlier");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray longPath = "C:\\Program Files\\Marrowick\\Circuits\\" + QByteArray(264, 'q');
    QTest::newRow("short path ends in zeros")
        << QByteArray() << QByteArrayLiteral("C:\\Circuits\\amp.ckt")
        << padded("C:\\Circuits\\amp.ckt", 255);
    QTest::newRow("no trace of a longer earlier path")
        << QByteArray(255, 'o') << QByteArrayLiteral("kq0000") << padded("kq0000", 255);
    QTest::newRow("8-bit characters kept")
        << QByteArray() << QByteArrayLiteral("C:\\r\xe9sistance.cir")
        << padded("C:\\r\xe9sistance.cir", 255);
    QTest::newRow("exactly 255") << QByteArray() << QByteArray(255, 'p') << QByteArray(255, 'p');
    QTest::newRow("300 cut at 255, no terminator")
        << QByteArray() << longPath << longPath.left(255);
    QTest::newRow("empty path clears") << QByteArray(20, 'o') << QByteArray() << zeros(255);
}

void TestSharedBlocks::circuitPathImage()
{
    QFETCH(QByteArray, earlier);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, expected);

    PosixSharedMemory memory(m_prefix);
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();
    if (!earlier.isEmpty())
        blocks.writeCircuitPath(earlier);
    blocks.writeCircuitPath(path);

    QCOMPARE(ShmPeer::contents(object(Block::Name)), expected);
    QCOMPARE(blocks.readName(), expected);
    QCOMPARE(blocks.simulationOpen(), expected.at(0) != '\0');
}

void TestSharedBlocks::pathBlockIsTheSimulationFlag()
{
    PosixSharedMemory memory(m_prefix);
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();

    blocks.writeCircuitPath("C:\\Circuits\\amp.ckt");
    QVERIFY(blocks.simulationOpen());
    blocks.ShutOffWithfile();
    QCOMPARE(ShmPeer::contents(object(Block::Name)), zeros(255));
    QVERIFY(!blocks.simulationOpen());

    // A simulator writing the block steers the companion window the same way.
    QVERIFY(ShmPeer::put(object(Block::Name), padded("D:\\lab.prb", 255)));
    QVERIFY(blocks.simulationOpen());
    QCOMPARE(blocks.readName(), padded("D:\\lab.prb", 255));
}

void TestSharedBlocks::existingBlocksKeepTheirContent()
{
    // A simulator still holds the blocks from an earlier run; its end flag
    // block is the single byte an older viewer made it.
    const QByteArray path = padded("C:\\Circuits\\amp.ckt", 255);
    QVERIFY(ShmPeer::put(object(Block::Name), path));
    QVERIFY(ShmPeer::put(object(Block::Prev), "\x03"));
    QVERIFY(ShmPeer::put(object(Block::End), "\x01"));

    PosixSharedMemory memory(m_prefix);
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();

    QVERIFY(dialogs.boxes.isEmpty());
    QCOMPARE(blocks.readName(), path);
    QVERIFY(blocks.simulationOpen());
    QCOMPARE(ShmPeer::contents(object(Block::Prev)), QByteArrayLiteral("\x03"));
    // Lengthened to hold the whole flag, keeping what was there.
    QCOMPARE(ShmPeer::contents(object(Block::End)), QByteArray("\x01\0\0\0", 4));

    blocks.writeEndFlag(0);
    QCOMPARE(ShmPeer::contents(object(Block::End)), zeros(4));
}

void TestSharedBlocks::blocksThatCannotBeCreatedAreSkipped()
{
    // A slash inside the object name is refused by shm_open, so every block
    // fails to open and to be created, whoever runs the test.
    const QByteArray badPrefix = m_prefix + "dir/";
    PosixSharedMemory memory(badPrefix);
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();

    QCOMPARE(dialogs.texts(), QStringList({FileMap, MapView, FileMap, MapView, FileMap, MapView}));
    for (const Dialogs::Box &box : std::as_const(dialogs.boxes)) {
        QCOMPARE(box.title, QStringLiteral("Tamberlyn"));
        QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
    }
    for (const Block block : {Block::Prev, Block::End, Block::Name})
        QVERIFY(!blocks.hasView(block));

    // Everything afterwards is skipped quietly.
    dialogs.boxes.clear();
    blocks.writeEndFlag(0);
    blocks.ShutOffVK();
    blocks.ShutOffWithfile();
    blocks.writeCircuitPath("C:\\Circuits\\amp.ckt");
    blocks.writeRequestCode(SharedBlocks::OrvanixRequest);
    QVERIFY(blocks.readName().isEmpty());
    QVERIFY(!blocks.simulationOpen());
    QVERIFY(dialogs.boxes.isEmpty());
    blocks.release();
}

void TestSharedBlocks::releaseKeepsTheBlocks()
{
    PosixSharedMemory memory(m_prefix);
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();
    blocks.writeCircuitPath("C:\\Circuits\\amp.ckt");
    blocks.writeRequestCode(SharedBlocks::OrvanixRequest);

    blocks.release();
    blocks.release();

    QVERIFY(!blocks.hasView(Block::Name));
    QVERIFY(!blocks.simulationOpen());
    blocks.ShutOffWithfile();
    // A simulator holding the blocks must still find what we left there.
    QCOMPARE(ShmPeer::contents(object(Block::Name)), padded("C:\\Circuits\\amp.ckt", 255));
    QCOMPARE(ShmPeer::contents(object(Block::Prev)), QByteArrayLiteral("\x03"));
    QCOMPARE(ShmPeer::contents(object(Block::End)), zeros(4));
}

void TestSharedBlocks::anotherProcessSeesTheWrites()
{
    PosixSharedMemory memory(m_prefix);
    FakeDialogs dialogs;
    SharedBlocks course(memory, dialogs);
    course.openSharedBlocks();
    course.writeEndFlag(0);
    QVERIFY(!course.simulationOpen());

    const QByteArray path = QByteArrayLiteral("C:\\Circuits\\amp.ckt");
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        // A launcher instance: its own blocks, its own mappings.
        PosixSharedMemory launcherMemory(m_prefix);
        FakeDialogs launcherDialogs;
        SharedBlocks launcher(launcherMemory, launcherDialogs);
        launcher.openSharedBlocks();
        launcher.writeEndFlag(0);
        launcher.writeCircuitPath(path);
        launcher.writeRequestCode(SharedBlocks::OrvanixRequest);
        launcher.ShutOffVK();
        launcher.release();
        ::_exit(launcherDialogs.boxes.isEmpty() ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);

    QVERIFY(course.simulationOpen());
    QCOMPARE(course.readName(), padded(path, 255));
    QCOMPARE(ShmPeer::contents(object(Block::Prev)), QByteArrayLiteral("\x03"));
    QCOMPARE(ShmPeer::contents(object(Block::End)), QByteArray("\x01\0\0\0", 4));
}

void TestSharedBlocks::readsWhatAPeerLeft_data()
{
    QTest::addColumn<QByteArray>("prev");
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<quint8>("code");
    QTest::addColumn<qint32>("flag");

    QTest::newRow("Orvanix, quit") << QByteArray("\x03") << QByteArray("\x01\0\0\0", 4)
                                   << quint8{3} << qint32{1};
    QTest::newRow("Prismo, started") << QByteArray("\x02") << QByteArray("\0\0\0\0", 4)
                                     << quint8{2} << qint32{0};
    QTest::newRow("byte order") << QByteArray("\0", 1) << QByteArray("\x04\x03\x02\x01")
                                << quint8{0} << qint32{0x01020304};
    QTest::newRow("high bits") << QByteArray("\xff") << QByteArray("\xfe\xff\xff\xff")
                               << quint8{255} << qint32{-2};
    // An older viewer's one-byte flag is lengthened with zeros on open.
    QTest::newRow("one-byte end flag") << QByteArray("\x03") << QByteArray("\x01")
                                       << quint8{3} << qint32{1};
}

void TestSharedBlocks::readsWhatAPeerLeft()
{
    QFETCH(QByteArray, prev);
    QFETCH(QByteArray, end);
    QFETCH(quint8, code);
    QFETCH(qint32, flag);

    QVERIFY(ShmPeer::put(object(Block::Prev), prev));
    QVERIFY(ShmPeer::put(object(Block::End), end));
    PosixSharedMemory memory(m_prefix);
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();

    QCOMPARE(blocks.readRequestCode(), code);
    QCOMPARE(blocks.readEndFlag(), flag);

    // Polled again after the peer changed them: no stale copy.
    QVERIFY(ShmPeer::put(object(Block::Prev), QByteArray("\x07")));
    QVERIFY(ShmPeer::put(object(Block::End), QByteArray("\x09\0\0\0", 4)));
    QCOMPARE(blocks.readRequestCode(), quint8{7});
    QCOMPARE(blocks.readEndFlag(), qint32{9});
}

void TestSharedBlocks::unreadableBlocksReadAsZero()
{
    // Blocks that came up, then were cut short by someone else: the reads
    // are refused instead of touching pages past the end.
    {
        QVERIFY(ShmPeer::put(object(Block::Prev), QByteArray("\x03")));
        QVERIFY(ShmPeer::put(object(Block::End), QByteArray("\x01\0\0\0", 4)));
        PosixSharedMemory memory(m_prefix);
        FakeDialogs dialogs;
        SharedBlocks blocks(memory, dialogs);
        blocks.openSharedBlocks();
        QVERIFY(ShmPeer::truncate(object(Block::Prev), 0));
        QVERIFY(ShmPeer::truncate(object(Block::End), 0));
        QCOMPARE(blocks.readRequestCode(), quint8{0});
        QCOMPARE(blocks.readEndFlag(), qint32{0});
    }
    // Blocks that never came up.
    PosixSharedMemory memory(m_prefix + "dir/");
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();
    QVERIFY(!blocks.hasView(Block::Prev));
    QVERIFY(!blocks.hasView(Block::End));
    QCOMPARE(blocks.readRequestCode(), quint8{0});
    QCOMPARE(blocks.readEndFlag(), qint32{0});
}

void TestSharedBlocks::failuresAreToldInBlockOrder_data()
{
    QTest::addColumn<QByteArrayList>("failCreate");
    QTest::addColumn<QByteArrayList>("failMap");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QList<bool>>("views");

    QTest::newRow("all fine") << QByteArrayList() << QByteArrayList() << QStringList()
                              << QList<bool>{true, true, true};
    QTest::newRow("end flag cannot be created")
        << QByteArrayList{"OrvaneEnd"} << QByteArrayList() << QStringList{FileMap, MapView}
        << QList<bool>{true, false, true};
    QTest::newRow("path cannot be mapped")
        << QByteArrayList() << QByteArrayList{"OrvaneName"} << QStringList{MapView}
        << QList<bool>{true, true, false};
    QTest::newRow("first not created, last not mapped")
        << QByteArrayList{"OrvanePrev"} << QByteArrayList{"OrvaneName"}
        << QStringList{FileMap, MapView, MapView} << QList<bool>{false, true, false};
}

void TestSharedBlocks::failuresAreToldInBlockOrder()
{
    QFETCH(QByteArrayList, failCreate);
    QFETCH(QByteArrayList, failMap);
    QFETCH(QStringList, boxes);
    QFETCH(QList<bool>, views);

    FakeSharedMemory memory;
    memory.failCreate = QSet<QByteArray>(failCreate.cbegin(), failCreate.cend());
    memory.failMap = QSet<QByteArray>(failMap.cbegin(), failMap.cend());
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();

    QCOMPARE(dialogs.texts(), boxes);
    const QList<bool> seen = {blocks.hasView(Block::Prev), blocks.hasView(Block::End),
                              blocks.hasView(Block::Name)};
    QCOMPARE(seen, views);

    // The blocks that did come up work; the others are never touched.
    memory.log.clear();
    blocks.writeRequestCode(SharedBlocks::PrismoRequest);
    blocks.writeEndFlag(0);
    blocks.writeCircuitPath("x.cir");
    QStringList expected;
    if (views.at(0))
        expected << QStringLiteral("write OrvanePrev 0 1") << QStringLiteral("flush OrvanePrev 0 1");
    if (views.at(1))
        expected << QStringLiteral("write OrvaneEnd 0 4") << QStringLiteral("flush OrvaneEnd 0 4");
    if (views.at(2))
        expected << QStringLiteral("write OrvaneName 0 255") << QStringLiteral("flush OrvaneName 0 255");
    QCOMPARE(memory.log, expected);
}

void TestSharedBlocks::eachWriteIsFlushedExactly_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QStringList>("calls");

    const QStringList endFlag = {QStringLiteral("write OrvaneEnd 0 4"),
                                 QStringLiteral("flush OrvaneEnd 0 4")};
    const QStringList path = {QStringLiteral("write OrvaneName 0 255"),
                              QStringLiteral("flush OrvaneName 0 255")};
    QTest::newRow("writeEndFlag") << 0 << endFlag;
    QTest::newRow("ShutOffVK") << 1 << endFlag;
    QTest::newRow("ShutOffWithfile") << 2 << path;
    QTest::newRow("short circuit path") << 3 << path;
    QTest::newRow("long circuit path") << 4 << path;
    QTest::newRow("request code")
        << 5 << QStringList{QStringLiteral("write OrvanePrev 0 1"), QStringLiteral("flush OrvanePrev 0 1")};
    QTest::newRow("polling writes nothing") << 6 << QStringList();
}

void TestSharedBlocks::eachWriteIsFlushedExactly()
{
    QFETCH(int, operation);
    QFETCH(QStringList, calls);

    FakeSharedMemory memory;
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();
    memory.log.clear();

    switch (operation) {
    case 0: blocks.writeEndFlag(0); break;
    case 1: blocks.ShutOffVK(); break;
    case 2: blocks.ShutOffWithfile(); break;
    case 3: blocks.writeCircuitPath("a.ckt"); break;
    case 4: blocks.writeCircuitPath(QByteArray(400, 'p')); break;
    case 5: blocks.writeRequestCode(SharedBlocks::OrvanixRequest); break;
    case 6: blocks.simulationOpen(); break;
    }
    QCOMPARE(memory.log, calls);
}

void TestSharedBlocks::releaseUnmapsThenClosesInOrder()
{
    FakeSharedMemory memory;
    FakeDialogs dialogs;
    SharedBlocks blocks(memory, dialogs);
    blocks.openSharedBlocks();
    memory.log.clear();

    blocks.release();
    QCOMPARE(memory.log, QStringList({
        QStringLiteral("unmap OrvanePrev"), QStringLiteral("close OrvanePrev"),
        QStringLiteral("unmap OrvaneEnd"), QStringLiteral("close OrvaneEnd"),
        QStringLiteral("unmap OrvaneName"), QStringLiteral("close OrvaneName"),
    }));

    memory.log.clear();
    blocks.release();
    blocks.ShutOffVK();
    QVERIFY(memory.log.isEmpty());
}

QTEST_GUILESS_MAIN(TestSharedBlocks)
#include "tst_sharedblocks.moc"
