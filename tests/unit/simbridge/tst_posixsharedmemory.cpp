#include "platform/posix/posixsharedmemory.h"
#include "shmpeer.h"

#include <QTest>

#include <limits>
#include <sys/stat.h>

using Tamberlyn::Platform::PosixSharedMemory;

class TestPosixSharedMemory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void createMakesZeroFilledPrivateBlock_data();
    void createMakesZeroFilledPrivateBlock();
    void openExistingNeedsABlock();
    void foreignBlockIsRefused();
    void mapLengthensShortBlock_data();
    void mapLengthensShortBlock();
    void flushedWritesReachOtherViews_data();
    void flushedWritesReachOtherViews();
    void accessOutsideViewIsRefused_data();
    void accessOutsideViewIsRefused();
    void shortenedBlockIsNotTouched();
    void badNamesFail_data();
    void badNamesFail();
    void closedBlockRefusesAccessAndLivesOn();

private:
    QByteArray object(const QByteArray &name) const { return m_prefix + name; }

    QByteArray m_prefix;
    std::unique_ptr<PosixSharedMemory> m_memory;
};

static const QByteArray BlockName = QByteArrayLiteral("Blk");

void TestPosixSharedMemory::init()
{
    m_prefix = ShmPeer::uniquePrefix();
    ShmPeer::unlinkAll({object(BlockName)});
    m_memory = std::make_unique<PosixSharedMemory>(m_prefix);
}

void TestPosixSharedMemory::cleanup()
{
    m_memory.reset();
    ShmPeer::unlinkAll({object(BlockName)});
}

void TestPosixSharedMemory::createMakesZeroFilledPrivateBlock_data()
{
    QTest::addColumn<int>("umaskBits");
    QTest::newRow("usual umask") << 022;
    QTest::newRow("umask without owner write") << 0277;
}

void TestPosixSharedMemory::createMakesZeroFilledPrivateBlock()
{
    QFETCH(int, umaskBits);

    const mode_t saved = ::umask(static_cast<mode_t>(umaskBits));
    auto block = m_memory->create(BlockName, 255);
    ::umask(saved);
    QVERIFY2(block, qPrintable(m_memory->errorString()));

    const auto info = ShmPeer::stat(object(BlockName));
    QVERIFY(info);
    QCOMPARE(info->size, qint64{255});
    QCOMPARE(info->mode, mode_t{0600});
    QCOMPARE(info->owner, ::geteuid());
    QCOMPARE(ShmPeer::contents(object(BlockName)), QByteArray(255, '\0'));
}

void TestPosixSharedMemory::openExistingNeedsABlock()
{
    QVERIFY(!m_memory->openExisting(BlockName));
    QVERIFY(m_memory->errorString().contains(QString::fromLatin1(object(BlockName))));
    QVERIFY(!ShmPeer::stat(object(BlockName)));

    QVERIFY(ShmPeer::put(object(BlockName), QByteArrayLiteral("held")));
    auto block = m_memory->openExisting(BlockName);
    QVERIFY2(block, qPrintable(m_memory->errorString()));
    QVERIFY(block->map(4));
    QCOMPARE(block->read(0, 4), QByteArrayLiteral("held"));
}

void TestPosixSharedMemory::foreignBlockIsRefused()
{
    if (::geteuid() != 0)
        QSKIP("handing a block to another user needs root");

    QVERIFY(ShmPeer::put(object(BlockName), QByteArrayLiteral("from someone else")));
    const int fd = ::shm_open(object(BlockName).constData(), O_RDWR | O_CLOEXEC, 0);
    QVERIFY(fd >= 0);
    const int changed = ::fchown(fd, 65534, 65534);
    ::close(fd);
    QCOMPARE(changed, 0);

    QVERIFY(!m_memory->openExisting(BlockName));
    QVERIFY(!m_memory->errorString().isEmpty());
    // Creating must not fall back on the same object either.
    QVERIFY(!m_memory->create(BlockName, 255));
    QCOMPARE(ShmPeer::contents(object(BlockName)), QByteArrayLiteral("from someone else"));
}

void TestPosixSharedMemory::mapLengthensShortBlock_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<int>("needed");
    QTest::addColumn<int>("sizeAfter");

    QTest::newRow("empty object") << QByteArray() << 4 << 4;
    QTest::newRow("one byte, four needed") << QByteArrayLiteral("\x01") << 4 << 4;
    QTest::newRow("short path block") << QByteArrayLiteral("C:\\a.ckt") << 255 << 255;
    QTest::newRow("larger object is not cut") << QByteArray(300, 'p') << 255 << 300;
}

void TestPosixSharedMemory::mapLengthensShortBlock()
{
    QFETCH(QByteArray, existing);
    QFETCH(int, needed);
    QFETCH(int, sizeAfter);

    QVERIFY(ShmPeer::put(object(BlockName), existing));
    auto block = m_memory->openExisting(BlockName);
    QVERIFY(block);
    QVERIFY2(block->map(needed), qPrintable(block->errorString()));
    QCOMPARE(block->mappedSize(), qsizetype{needed});

    // The last byte of the view lies inside the object: writing it must
    // neither fault nor vanish from the object.
    QVERIFY(block->write(needed - 1, "\x7f"));
    QVERIFY(block->flush(needed - 1, 1));

    // What was there stays, what was added is zero.
    QByteArray expected = existing + QByteArray(sizeAfter - existing.size(), '\0');
    expected[needed - 1] = '\x7f';
    QCOMPARE(ShmPeer::contents(object(BlockName)), expected);
}

void TestPosixSharedMemory::flushedWritesReachOtherViews_data()
{
    const int page = static_cast<int>(::sysconf(_SC_PAGESIZE));
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("first byte") << 255 << 0 << QByteArrayLiteral("x");
    QTest::newRow("last byte") << 255 << 254 << QByteArrayLiteral("z");
    QTest::newRow("inside the first page") << 255 << 101 << QByteArrayLiteral("hello");
    QTest::newRow("across a page boundary") << 3 * page + 10 << page - 2 << QByteArrayLiteral("span");
    QTest::newRow("inside a later page") << 3 * page + 10 << 2 * page + 5 << QByteArrayLiteral("tail");
    QTest::newRow("nothing") << 255 << 7 << QByteArray();
}

void TestPosixSharedMemory::flushedWritesReachOtherViews()
{
    QFETCH(int, blockSize);
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);

    auto block = m_memory->create(BlockName, blockSize);
    QVERIFY(block);
    QVERIFY(block->map(blockSize));
    QVERIFY(block->write(offset, bytes));
    // msync refuses addresses that are not page-aligned; the flush has to
    // widen the range to whole pages itself.
    QVERIFY2(block->flush(offset, bytes.size()), qPrintable(block->errorString()));

    QByteArray expected(blockSize, '\0');
    expected.replace(offset, bytes.size(), bytes);
    QCOMPARE(ShmPeer::contents(object(BlockName)), expected);
    QCOMPARE(block->read(offset, bytes.size()), bytes);
}

void TestPosixSharedMemory::accessOutsideViewIsRefused_data()
{
    constexpr qsizetype Max = std::numeric_limits<qsizetype>::max();
    QTest::addColumn<qsizetype>("offset");
    QTest::addColumn<qsizetype>("count");

    QTest::newRow("negative offset") << qsizetype{-1} << qsizetype{1};
    QTest::newRow("negative count") << qsizetype{0} << qsizetype{-1};
    QTest::newRow("just past the end") << qsizetype{255} << qsizetype{1};
    QTest::newRow("runs over the end") << qsizetype{254} << qsizetype{2};
    QTest::newRow("longer than the view") << qsizetype{0} << qsizetype{256};
    QTest::newRow("offset far out") << Max << qsizetype{1};
    QTest::newRow("sum would overflow") << qsizetype{1} << Max;
}

void TestPosixSharedMemory::accessOutsideViewIsRefused()
{
    QFETCH(qsizetype, offset);
    QFETCH(qsizetype, count);

    auto block = m_memory->create(BlockName, 255);
    QVERIFY(block);
    QVERIFY(block->map(255));

    const QByteArray source(300, 'x');
    // The view's size is all that is checked before copying, so a view that
    // claims more than the source holds is never read.
    if (count >= 0)
        QVERIFY(!block->write(offset, QByteArrayView(source.constData(), count)));
    QVERIFY(block->read(offset, count).isEmpty());
    QVERIFY(!block->flush(offset, count));
    QVERIFY(!block->errorString().isEmpty());
    QCOMPARE(ShmPeer::contents(object(BlockName)), QByteArray(255, '\0'));
}

void TestPosixSharedMemory::shortenedBlockIsNotTouched()
{
    auto block = m_memory->create(BlockName, 255);
    QVERIFY(block);
    QVERIFY(block->map(255));
    QVERIFY(block->write(0, "before"));

    // Someone else cuts the object short under our view: touching the view
    // now would be a SIGBUS, so the access must be refused instead.
    QVERIFY(ShmPeer::truncate(object(BlockName), 0));
    QVERIFY(!block->write(0, "after"));
    QVERIFY(block->read(0, 255).isEmpty());

    // Once the object is long enough again the view works as before.
    QVERIFY(ShmPeer::truncate(object(BlockName), 255));
    QVERIFY(block->write(0, "again"));
    QCOMPARE(ShmPeer::contents(object(BlockName)).left(5), QByteArrayLiteral("again"));
}

void TestPosixSharedMemory::badNamesFail_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("mustNotExist");

    QTest::newRow("second slash") << QByteArrayLiteral("Orvane/Name") << QByteArray();
    QTest::newRow("too long") << QByteArray(300, 'n') << QByteArray();
    QTest::newRow("NUL inside") << QByteArray("Blk\0tail", 8) << BlockName;
}

void TestPosixSharedMemory::badNamesFail()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, mustNotExist);

    QVERIFY(!m_memory->openExisting(name));
    QVERIFY(!m_memory->create(name, 255));
    QVERIFY(!m_memory->errorString().isEmpty());
    if (!mustNotExist.isEmpty())
        QVERIFY(!ShmPeer::stat(object(mustNotExist)));
}

void TestPosixSharedMemory::closedBlockRefusesAccessAndLivesOn()
{
    auto block = m_memory->create(BlockName, 255);
    QVERIFY(block);
    QVERIFY(block->map(255));
    QVERIFY(block->write(0, "kept"));

    block->unmap();
    QVERIFY(!block->isMapped());
    QVERIFY(!block->write(0, "x"));
    QVERIFY(block->read(0, 1).isEmpty());
    block->close();
    block->close();
    block->unmap();
    QVERIFY(!block->map(255));

    // Closing is not removing: another process may still hold the block.
    QCOMPARE(ShmPeer::contents(object(BlockName)).left(4), QByteArrayLiteral("kept"));
}

QTEST_GUILESS_MAIN(TestPosixSharedMemory)
#include "tst_posixsharedmemory.moc"
