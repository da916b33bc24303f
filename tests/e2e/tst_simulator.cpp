// The simulator stand-in, run as the viewer's launcher runs it, on a
// private X server with a window manager. The test plays the viewer: it
// writes the blocks through the viewer's own SharedBlocks, or raw bytes
// through a peer mapping when it needs bytes the viewer would never write.

#include "e2eharness.h"
#include "shmpeer.h"

#include "platform/ansicodepage.h"
#include "platform/dialogs.h"
#include "platform/posix/posixsharedmemory.h"
#include "simbridge/sharedblocks.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

using Tamberlyn::Platform::PosixSharedMemory;
using Tamberlyn::SimBridge::SharedBlocks;
using Block = SharedBlocks::Block;

namespace {

const QString Simulator = QStringLiteral(TAMBERLYN_SIMULATOR);
const QString ProgramFiles = QStringLiteral(TAMBERLYN_TEST_PROGRAM_FILES);
const QString OrvaneLink = ProgramFiles + QStringLiteral("/Marrowick/Orvanix/orvane");
const QString PrismoLink = ProgramFiles + QStringLiteral("/Marrowick/Prismo/Prismo");

// A viewer that meets a block it cannot open would ask the learner; here
// that is a test failure, reported by the texts it collects.
class CollectingDialogs final : public Tamberlyn::Platform::Dialogs
{
public:
    Answer ask(QWidget *, const Box &box) override
    {
        texts.append(box.text);
        return Answer::Ok;
    }
    QStringList texts;
};

QByteArray padded(const QByteArray &bytes)
{
    return bytes + QByteArray(SharedBlocks::PathSize - bytes.size(), '\0');
}

QByteArray allByteValues()
{
    QByteArray bytes;
    for (int value = 1; value <= 255; ++value)
        bytes.append(static_cast<char>(value));
    return bytes;
}

// How the stand-in shows the bytes `from` to `to`: Windows-1252, with the
// C0 controls, DEL and the code page's five holes (C1 controls) as \xNN.
QString shownBytes(int from, int to)
{
    static const QStringList high = {
        QStringLiteral("\u20ac"), QStringLiteral("\\x81"), QStringLiteral("\u201a"), QStringLiteral("\u0192"),
        QStringLiteral("\u201e"), QStringLiteral("\u2026"), QStringLiteral("\u2020"), QStringLiteral("\u2021"),
        QStringLiteral("\u02c6"), QStringLiteral("\u2030"), QStringLiteral("\u0160"), QStringLiteral("\u2039"),
        QStringLiteral("\u0152"), QStringLiteral("\\x8d"), QStringLiteral("\u017d"), QStringLiteral("\\x8f"),
        QStringLiteral("\\x90"), QStringLiteral("\u2018"), QStringLiteral("\u2019"), QStringLiteral("\u201c"),
        QStringLiteral("\u201d"), QStringLiteral("\u2022"), QStringLiteral("\u2013"), QStringLiteral("\u2014"),
        QStringLiteral("\u02dc"), QStringLiteral("\u2122"), QStringLiteral("\u0161"), QStringLiteral("\u203a"),
        QStringLiteral("\u0153"), QStringLiteral("\\x9d"), QStringLiteral("\u017e"), QStringLiteral("\u0178")};
    QString shown;
    for (int value = from; value <= to; ++value) {
        if (value < 0x20 || value == 0x7f)
            shown += QStringLiteral("\\x%1").arg(value, 2, 16, QLatin1Char('0'));
        else if (value >= 0x80 && value <= 0x9f)
            shown += high.at(value - 0x80);
        else
            shown += QChar(value);
    }
    return shown;
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void showsWhatTheViewerWrote_data();
    void showsWhatTheViewerWrote();
    void prismoFollowsNewLaunches();
    void endFlagQuitsAndLeavesThePath_data();
    void endFlagQuitsAndLeavesThePath();
    void closingClearsThePathAndQuits_data();
    void closingClearsThePathAndQuits();
    void oddBlockContentIsShown_data();
    void oddBlockContentIsShown();
    void blocksCutShortWhileRunning();
    void goesOnWithoutABlockItCannotOpen();
    void refusesToGuess_data();
    void refusesToGuess();

private:
    QByteArray object(Block block) const { return m_prefix + SharedBlocks::blockName(block); }
    QString shmFile(Block block) const
    {
        return QStringLiteral("/dev/shm") + QString::fromLatin1(object(block));
    }
    void removeBlocks();

    // The viewer's side of the blocks, under the test's prefix.
    SharedBlocks &viewer();

    QProcess *start(const QString &program, const QStringList &arguments);
    bool waitForLine(const QString &line, int timeoutMs = 10000);
    QStringList lines() const;
    // Runs xdotool or wmctrl on the private display; its exit code, -1
    // when it did not run to the end.
    int runX(const QString &program, const QStringList &arguments, QString *out = nullptr);
    // The title of the stand-in's visible window, once it has `title`;
    // what it had at the deadline otherwise.
    QString waitForTitle(const QString &title, int timeoutMs = 10000);
    std::optional<QString> visibleWindow();
    std::optional<QString> waitForWindow(int timeoutMs = 10000);

    std::unique_ptr<E2eHarness> m_harness;
    QTemporaryDir m_runtime;
    QByteArray m_prefix;
    int m_testNumber = 0;
    std::unique_ptr<PosixSharedMemory> m_memory;
    CollectingDialogs m_dialogs;
    std::unique_ptr<SharedBlocks> m_viewer;
    std::unique_ptr<QProcess> m_simulator;
};

void TestSimulator::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    QVERIFY2(QFileInfo(OrvaneLink).isExecutable(), qPrintable(OrvaneLink));
    QVERIFY2(QFileInfo(PrismoLink).isExecutable(), qPrintable(PrismoLink));
    m_harness = std::make_unique<E2eHarness>();
    // A window manager, so a window can be closed the way the learner does.
    QVERIFY2(m_harness->startDisplay(QSize(1024, 768), true), qPrintable(m_harness->error()));
}

void TestSimulator::init()
{
    m_prefix = QByteArrayLiteral("/tmbsim-") + QByteArray::number(QCoreApplication::applicationPid()) + '-'
        + QByteArray::number(++m_testNumber) + '-';
    removeBlocks();
    m_dialogs.texts.clear();
}

void TestSimulator::cleanup()
{
    if (m_simulator && m_simulator->state() != QProcess::NotRunning) {
        m_simulator->kill();
        m_simulator->waitForFinished(5000);
    }
    if (QTest::currentTestFailed() && m_simulator) {
        qInfo().noquote() << "stand-in output:\n" << E2eHarness::output(m_simulator.get())
                          << QString::fromLocal8Bit(m_simulator->readAllStandardError());
    }
    m_simulator.reset();
    m_viewer.reset();
    m_memory.reset();
    removeBlocks();
}

void TestSimulator::removeBlocks()
{
    for (const Block block : {Block::Prev, Block::End, Block::Name}) {
        ::shm_unlink(object(block).constData());
        QDir().rmdir(shmFile(block));
    }
}

SharedBlocks &TestSimulator::viewer()
{
    if (!m_viewer) {
        m_memory = std::make_unique<PosixSharedMemory>(m_prefix);
        m_viewer = std::make_unique<SharedBlocks>(*m_memory, m_dialogs);
        m_viewer->openSharedBlocks();
    }
    return *m_viewer;
}

QProcess *TestSimulator::start(const QString &program, const QStringList &arguments)
{
    m_simulator = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_harness->display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    m_simulator->setProcessEnvironment(env);
    // Only the events on stdout; Qt's own warnings stay apart on stderr.
    m_simulator->setProcessChannelMode(QProcess::SeparateChannels);
    m_simulator->start(program, QStringList{QStringLiteral("--shm-prefix"), QString::fromLatin1(m_prefix)}
                                    + arguments);
    m_simulator->waitForStarted(10000);
    return m_simulator.get();
}

QStringList TestSimulator::lines() const
{
    return E2eHarness::output(m_simulator.get()).split(QLatin1Char('\n'));
}

bool TestSimulator::waitForLine(const QString &line, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!lines().contains(line)) {
        if (deadline.hasExpired() || m_simulator->state() == QProcess::NotRunning)
            return lines().contains(line);
        m_simulator->waitForReadyRead(int(std::clamp<qint64>(deadline.remainingTime(), 1, 100)));
    }
    return true;
}

int TestSimulator::runX(const QString &program, const QStringList &arguments, QString *out)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_harness->display());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    tool.setProcessEnvironment(env);
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished(5000);
        return -1;
    }
    if (out) {
        // Only the line end: a title may end in a space ("Prismo - ").
        *out = QString::fromUtf8(tool.readAllStandardOutput());
        if (out->endsWith(QLatin1Char('\n')))
            out->chop(1);
    }
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

std::optional<QString> TestSimulator::visibleWindow()
{
    // By process rather than by name: Qt keeps hidden helper windows, and a
    // garbage title is no pattern to search for.
    QString ids;
    if (runX(QStringLiteral("xdotool"),
             {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
              QString::number(m_simulator->processId())},
             &ids) != 0 || ids.isEmpty()) {
        return std::nullopt;
    }
    return ids.split(QLatin1Char('\n')).constFirst();
}

std::optional<QString> TestSimulator::waitForWindow(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        std::optional<QString> window = visibleWindow();
        if (window || deadline.hasExpired())
            return window;
        QTest::qWait(100);
    }
}

QString TestSimulator::waitForTitle(const QString &title, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QString seen;
    for (;;) {
        if (const std::optional<QString> window = visibleWindow())
            runX(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), *window}, &seen);
        if (seen == title || deadline.hasExpired())
            return seen;
        QTest::qWait(100);
    }
}

void TestSimulator::showsWhatTheViewerWrote_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("path");
    QTest::addColumn<quint8>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");

    const QString circuit = QStringLiteral("/root/.local/share/Marrowick/Orvanix/VK_CKTS/amp.ckt");
    // Written as the viewer writes it, é as one Windows-1252 byte.
    const QString lab = QStringLiteral("C:\\Users\\l\u00e9a\\Marrowick\\Prismo\\lab3.prb");
    QTest::newRow("orvane, the launcher's name")
        << OrvaneLink << QStringList() << circuit << SharedBlocks::OrvanixRequest
        << QStringLiteral("Orvanix") << QStringLiteral("Orvanix");
    QTest::newRow("--as orvanix") << Simulator << QStringList{QStringLiteral("--as"), QStringLiteral("orvanix")}
                                  << circuit << SharedBlocks::OrvanixRequest << QStringLiteral("Orvanix")
                                  << QStringLiteral("Orvanix");
    QTest::newRow("Prismo, the launcher's name")
        << PrismoLink << QStringList() << lab << SharedBlocks::PrismoRequest << QStringLiteral("Prismo")
        << QStringLiteral("Prismo - lab3.prb");
    QTest::newRow("--as PRISMO") << Simulator << QStringList{QStringLiteral("--as"), QStringLiteral("PRISMO")}
                                 << QStringLiteral("/home/l/labs/lab3.prb") << SharedBlocks::PrismoRequest
                                 << QStringLiteral("Prismo") << QStringLiteral("Prismo - lab3.prb");
    QTest::newRow("--as wins over the name")
        << OrvaneLink << QStringList{QStringLiteral("--as"), QStringLiteral("prismo")} << lab
        << SharedBlocks::PrismoRequest << QStringLiteral("Prismo") << QStringLiteral("Prismo - lab3.prb");
    QTest::newRow("no simulation open") << PrismoLink << QStringList() << QString() << quint8{0}
                                        << QStringLiteral("Prismo") << QStringLiteral("Prismo - ");
}

void TestSimulator::showsWhatTheViewerWrote()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, path);
    QFETCH(quint8, code);
    QFETCH(QString, name);
    QFETCH(QString, title);

    viewer().writeEndFlag(0);
    viewer().writeCircuitPath(Tamberlyn::Platform::toAnsi(path));
    viewer().writeRequestCode(code);
    QVERIFY(m_dialogs.texts.isEmpty());

    start(program, arguments);
    QVERIFY(waitForLine(QStringLiteral("ready")));
    // Who it plays comes first and "ready" last; in between one line for
    // each block and one for the title, in whatever order they came.
    const QString pathLine = path.isEmpty() ? QStringLiteral("no path") : QStringLiteral("path: ") + path;
    QStringList expected = {pathLine, QStringLiteral("request: %1").arg(code), QStringLiteral("end flag: 0"),
                            QStringLiteral("title: ") + title};
    QStringList startup = lines();
    startup = startup.mid(0, startup.indexOf(QStringLiteral("ready")) + 1);
    QCOMPARE(startup.value(0), QStringLiteral("simulator: ") + name);
    QCOMPARE(startup.size(), expected.size() + 2);
    QStringList between = startup.mid(1, expected.size());
    between.sort();
    expected.sort();
    QCOMPARE(between, expected);
    QCOMPARE(waitForTitle(title), title);

    // Looking is all it does: the viewer's bytes are as it left them.
    QCOMPARE(ShmPeer::contents(object(Block::Name)), padded(Tamberlyn::Platform::toAnsi(path)));
    QCOMPARE(ShmPeer::contents(object(Block::Prev)), QByteArray(1, static_cast<char>(code)));
}

void TestSimulator::prismoFollowsNewLaunches()
{
    viewer().writeEndFlag(0);
    viewer().writeCircuitPath("C:\\Labs\\lab3.prb");
    viewer().writeRequestCode(SharedBlocks::PrismoRequest);
    start(PrismoLink, {});
    QCOMPARE(waitForTitle(QStringLiteral("Prismo - lab3.prb")), QStringLiteral("Prismo - lab3.prb"));

    // A second launch from the course while it runs: shorter path, and
    // nothing of the longer one may show through.
    viewer().writeCircuitPath("/l/lab4.prb");
    QVERIFY(waitForLine(QStringLiteral("path: /l/lab4.prb")));
    QCOMPARE(waitForTitle(QStringLiteral("Prismo - lab4.prb")), QStringLiteral("Prismo - lab4.prb"));

    viewer().writeRequestCode(SharedBlocks::OrvanixRequest);
    QVERIFY(waitForLine(QStringLiteral("request: 3")));

    // The viewer took the simulation back: no file, and the stand-in stays.
    viewer().ShutOffWithfile();
    QVERIFY(waitForLine(QStringLiteral("no path")));
    QCOMPARE(waitForTitle(QStringLiteral("Prismo - ")), QStringLiteral("Prismo - "));
    QCOMPARE(m_simulator->state(), QProcess::Running);
}

void TestSimulator::endFlagQuitsAndLeavesThePath_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("setBeforeStart");

    QTest::newRow("Orvanix, set while it runs") << OrvaneLink << false;
    QTest::newRow("Prismo, set while it runs") << PrismoLink << false;
    // The course was quit before the stand-in got going: nothing to wait for.
    QTest::newRow("set before it starts") << OrvaneLink << true;
}

void TestSimulator::endFlagQuitsAndLeavesThePath()
{
    QFETCH(QString, program);
    QFETCH(bool, setBeforeStart);

    const QByteArray path = "C:\\Circuits\\amp.ckt";
    viewer().writeEndFlag(setBeforeStart ? 1 : 0);
    viewer().writeCircuitPath(path);
    viewer().writeRequestCode(SharedBlocks::OrvanixRequest);
    start(program, {});

    QElapsedTimer sinceSet;
    if (!setBeforeStart) {
        QVERIFY(waitForLine(QStringLiteral("ready")));
        QVERIFY(waitForWindow());
        sinceSet.start();
        viewer().ShutOffVK();
    }
    QVERIFY(m_simulator->waitForFinished(10000));
    const qint64 elapsed = sinceSet.isValid() ? sinceSet.elapsed() : 0;

    QCOMPARE(m_simulator->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_simulator->exitCode(), 0);
    QVERIFY(lines().contains(QStringLiteral("end flag: quitting")));
    QVERIFY(!E2eHarness::output(m_simulator.get()).contains(QStringLiteral("closed:")));
    // Polled every 300 ms; a second and a half leaves room for a busy machine.
    QVERIFY2(elapsed < 1500, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
    QCOMPARE(ShmPeer::contents(object(Block::Name)), padded(path));
    QCOMPARE(ShmPeer::contents(object(Block::End)), QByteArray("\x01\0\0\0", 4));
}

void TestSimulator::closingClearsThePathAndQuits_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("byButton");

    QTest::newRow("Orvanix, Close simulation button") << OrvaneLink << true;
    QTest::newRow("Prismo, Close simulation button") << PrismoLink << true;
    QTest::newRow("Orvanix, window closed") << OrvaneLink << false;
    QTest::newRow("Prismo, window closed") << PrismoLink << false;
}

void TestSimulator::closingClearsThePathAndQuits()
{
    QFETCH(QString, program);
    QFETCH(bool, byButton);

    // A path that fills the block: every one of the 255 bytes must go.
    const QByteArray path = "C:\\Circuits\\" + QByteArray(239, 'k') + ".prb";
    QCOMPARE(path.size(), SharedBlocks::PathSize);
    viewer().writeEndFlag(0);
    viewer().writeCircuitPath(path);
    viewer().writeRequestCode(SharedBlocks::PrismoRequest);
    start(program, {});
    QVERIFY(waitForLine(QStringLiteral("ready")));

    const std::optional<QString> window = waitForWindow();
    QVERIFY(window);

    if (byButton) {
        // The button holds the focus; Alt+C is its mnemonic as well.
        QCOMPARE(runX(QStringLiteral("xdotool"),
                      {QStringLiteral("windowactivate"), QStringLiteral("--sync"), *window}),
                 0);
        QCOMPARE(runX(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+c")}), 0);
    } else {
        // Through the window manager, as the title bar's close button does.
        QCOMPARE(runX(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), *window}), 0);
    }
    QVERIFY(m_simulator->waitForFinished(10000));
    QCOMPARE(m_simulator->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_simulator->exitCode(), 0);
    QVERIFY(lines().contains(QStringLiteral("closed: OrvaneName cleared")));

    QCOMPARE(ShmPeer::contents(object(Block::Name)), QByteArray(SharedBlocks::PathSize, '\0'));
    QVERIFY(!viewer().simulationOpen());
    // The other blocks are the viewer's business.
    QCOMPARE(ShmPeer::contents(object(Block::Prev)), QByteArrayLiteral("\x02"));
    QCOMPARE(ShmPeer::contents(object(Block::End)), QByteArray(4, '\0'));
}

void TestSimulator::oddBlockContentIsShown_data()
{
    QTest::addColumn<QByteArray>("prev");
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QStringList>("expectedLines");
    QTest::addColumn<QString>("title");

    const QByteArray started("\0\0\0\0", 4);
    // 255 bytes, none of them zero; the last byte is part of the name.
    const QByteArray full = "C:\\" + QByteArray(240, 'q') + "\\r\xe9sist\x80.prb";
    QCOMPARE(full.size(), SharedBlocks::PathSize);
    QTest::newRow("255 bytes, no terminator")
        << QByteArray("\x02") << started << full
        << QStringList{QStringLiteral("path: C:\\") + QString(240, QLatin1Char('q'))
                       + QStringLiteral("\\r\u00e9sist\u20ac.prb")}
        << QStringLiteral("Prismo - r\u00e9sist\u20ac.prb");

    // Control characters are escaped, so the path stays on its one line and
    // ends with the last byte; the name is what follows the '\\' (0x5C).
    QTest::newRow("every byte value")
        << QByteArray("\x02") << started << allByteValues()
        << QStringList{QStringLiteral("path: ") + shownBytes(1, 255)}
        << QStringLiteral("Prismo - ") + shownBytes(0x5d, 0xff);

    QTest::newRow("markup and the title placeholder")
        << QByteArray("\x02") << started << padded("/l/<b>lab<br>[*]&amp;.prb")
        << QStringList{QStringLiteral("path: /l/<b>lab<br>[*]&amp;.prb")}
        << QStringLiteral("Prismo - <b>lab<br>[*]&amp;.prb");

    QTest::newRow("codes nobody uses")
        << QByteArray("\xff") << QByteArray("\x02\x01\0\0", 4) << padded("lab.prb")
        << QStringList{QStringLiteral("request: 255"), QStringLiteral("end flag: 258")}
        << QStringLiteral("Prismo - lab.prb");

    // Left short by someone else: lengthened with zeros when opened.
    QTest::newRow("short blocks") << QByteArray() << QByteArray("\x05") << QByteArray("abcdefghij")
                                  << QStringList{QStringLiteral("path: abcdefghij"), QStringLiteral("request: 0"),
                                                 QStringLiteral("end flag: 5")}
                                  << QStringLiteral("Prismo - abcdefghij");
}

void TestSimulator::oddBlockContentIsShown()
{
    QFETCH(QByteArray, prev);
    QFETCH(QByteArray, end);
    QFETCH(QByteArray, name);
    QFETCH(QStringList, expectedLines);
    QFETCH(QString, title);

    QVERIFY(ShmPeer::put(object(Block::Prev), prev));
    QVERIFY(ShmPeer::put(object(Block::End), end));
    QVERIFY(ShmPeer::put(object(Block::Name), name));
    start(PrismoLink, {});

    for (const QString &line : std::as_const(expectedLines))
        QVERIFY2(waitForLine(line), qPrintable(line));
    QCOMPARE(waitForTitle(title), title);

    // Still polling after all that: a well-formed launch comes through.
    viewer().writeCircuitPath("/l/next.prb");
    QVERIFY(waitForLine(QStringLiteral("path: /l/next.prb")));
    QCOMPARE(m_simulator->state(), QProcess::Running);
}

void TestSimulator::blocksCutShortWhileRunning()
{
    viewer().writeEndFlag(0);
    viewer().writeCircuitPath("/l/lab3.prb");
    viewer().writeRequestCode(SharedBlocks::PrismoRequest);
    start(PrismoLink, {});
    QVERIFY(waitForLine(QStringLiteral("ready")));

    // Reading past the end of a shared object kills the reader (SIGBUS):
    // the stand-in must see nothing rather than die.
    for (const Block block : {Block::Prev, Block::End, Block::Name})
        QVERIFY(ShmPeer::truncate(object(block), 0));
    QVERIFY(waitForLine(QStringLiteral("no path")));
    QVERIFY(waitForLine(QStringLiteral("request: 0")));

    QVERIFY(ShmPeer::put(object(Block::Prev), QByteArray("\x03")));
    QVERIFY(ShmPeer::put(object(Block::Name), padded("/l/lab5.prb")));
    QVERIFY(waitForLine(QStringLiteral("path: /l/lab5.prb")));
    QVERIFY(waitForLine(QStringLiteral("request: 3")));
    QCOMPARE(m_simulator->state(), QProcess::Running);
}

void TestSimulator::goesOnWithoutABlockItCannotOpen()
{
    if (!QFileInfo(QStringLiteral("/dev/shm")).isDir())
        QSKIP("needs /dev/shm, where POSIX shared memory objects live on Linux");
    // A folder where the end flag should be: it can be neither opened nor
    // created, whoever runs the test.
    QVERIFY(QDir().mkdir(shmFile(Block::End)));
    QVERIFY(ShmPeer::put(object(Block::Name), padded("/l/lab3.prb")));
    QVERIFY(ShmPeer::put(object(Block::Prev), QByteArray("\x02")));

    start(PrismoLink, {});
    QVERIFY(waitForLine(QStringLiteral("ready")));
    QVERIFY(lines().contains(QStringLiteral("block unavailable: OrvaneEnd")));
    QVERIFY(lines().contains(QStringLiteral("path: /l/lab3.prb")));
    QVERIFY(lines().contains(QStringLiteral("request: 2")));
    QCOMPARE(waitForTitle(QStringLiteral("Prismo - lab3.prb")), QStringLiteral("Prismo - lab3.prb"));

    const std::optional<QString> window = waitForWindow();
    QVERIFY(window);
    QCOMPARE(runX(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), *window}), 0);
    QVERIFY(m_simulator->waitForFinished(10000));
    QCOMPARE(m_simulator->exitCode(), 0);
    QCOMPARE(ShmPeer::contents(object(Block::Name)), QByteArray(SharedBlocks::PathSize, '\0'));
}

void TestSimulator::refusesToGuess_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("name plays nothing") << Simulator << QStringList() << QStringLiteral("--as");
    QTest::newRow("unknown simulator")
        << OrvaneLink << QStringList{QStringLiteral("--as"), QStringLiteral("oscilloscope")}
        << QStringLiteral("oscilloscope");
    QTest::newRow("stray argument") << OrvaneLink << QStringList{QStringLiteral("amp.ckt")}
                                    << QStringLiteral("amp.ckt");
    QTest::newRow("object prefix with a folder")
        << OrvaneLink << QStringList{QStringLiteral("--shm-prefix"), QStringLiteral("/tmp/x-")}
        << QStringLiteral("--shm-prefix");
}

void TestSimulator::refusesToGuess()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    start(program, arguments);
    QVERIFY(m_simulator->waitForFinished(10000));
    QCOMPARE(m_simulator->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_simulator->exitCode(), 2);
    const QString complaint = QString::fromLocal8Bit(m_simulator->readAllStandardError());
    QVERIFY2(complaint.contains(message), qPrintable(complaint));
    QVERIFY(E2eHarness::output(m_simulator.get()).isEmpty());
    // Nothing opened, so nothing created either.
    for (const Block block : {Block::Prev, Block::End, Block::Name})
        QVERIFY(!ShmPeer::stat(object(block)));
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
