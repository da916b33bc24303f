#include "privateblocks.h"

#include "simbridge/launcher.h"

#include <QTest>
#include <QTimer>

using namespace Tamberlyn;
using namespace Tamberlyn::SimBridge;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Tamberlyn::SimBridge::Simulator)

namespace {

// A launcher over real blocks under a private prefix, with fake windows and
// a fake shell; "EndVK" only records, so ticks can be driven by hand.
struct Harness : PrivateBlocks
{
    QStringList events;
    Fakes::WindowSystem windows{events};
    Fakes::Shell shell{events};
    Launcher launcher{{blocks, windows, shell, dialogs, [this] { events << u"EndVK"_s; }}};
};

} // namespace

class TestLauncher final : public QObject
{
    Q_OBJECT

private slots:
    void targets_data();
    void targets();
    void pathImages_data();
    void pathImages();
    void pathsThatClimbOutAreRefused_data();
    void pathsThatClimbOutAreRefused();
    void windowFoundAtOnce();
    void windowFoundOnALaterTick();
    void messageOnTick41();
    void kq0000LeavesTheRequestCode();
};

void TestLauncher::targets_data()
{
    QTest::addColumn<Simulator>("simulator");
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("windowsStyle");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("code"); // -1: none

    QTest::newRow("Prismo on Linux") << Simulator::Prismo << u"lab3.prb"_s << false
                                     << u"/home/a/.local/share/Marrowick/Prismo/RUD_CIRS/lab3.prb"_s
                                     << u"/opt/Marrowick/Prismo/Prismo"_s << u"Prismo -"_s << 2;
    QTest::newRow("Orvanix on Linux") << Simulator::Orvanix << u"amp.ckt"_s << false
                                      << u"/home/a/.local/share/Marrowick/Orvanix/VK_CKTS/amp.ckt"_s
                                      << u"/opt/Marrowick/Orvanix/orvane"_s << u"Orvanix"_s << 3;
    QTest::newRow("kq0000") << Simulator::Orvanix << u"kq0000"_s << false
                            << u"/home/a/.local/share/Marrowick/Orvanix/VK_CKTS/kq0000"_s
                            << u"/opt/Marrowick/Orvanix/orvane"_s << u"Orvanix"_s << -1;
    QTest::newRow("Windows paths") << Simulator::Orvanix << u"amp.ckt"_s << true
                                   << u"/home/a/.local/share\\Marrowick\\Orvanix\\VK_CKTS\\amp.ckt"_s
                                   << u"/opt\\Marrowick\\Orvanix\\orvane.exe"_s << u"Orvanix"_s << 3;
}

void TestLauncher::targets()
{
    QFETCH(Simulator, simulator);
    QFETCH(QString, commandLine);
    QFETCH(bool, windowsStyle);
    QFETCH(QString, path);
    QFETCH(QString, program);
    QFETCH(QString, title);
    QFETCH(int, code);
    const LaunchTarget target = launchTargetFor(simulator, commandLine, u"/home/a/.local/share"_s, u"/opt"_s,
                                                windowsStyle ? PathStyle::Windows : PathStyle::Posix);
    QCOMPARE(target.circuitPath, path);
    QCOMPARE(target.program, program);
    QCOMPARE(target.windowTitle, title);
    QCOMPARE(target.requestCode ? int(*target.requestCode) : -1, code);
    QCOMPARE(target.notFoundMessage, simulator == Simulator::Prismo
                                         ? u"Could not find Prismo. Please retry or run Setup on the USB."_s
                                         : u"Could not find Orvanix. Please retry or run Setup on the USB."_s);
}

void TestLauncher::pathImages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("image");

    QTest::newRow("short") << u"/a/b.ckt"_s << QByteArray("/a/b.ckt") + QByteArray(247, '\0');
    QTest::newRow("exactly 255") << QString(255, u'x') << QByteArray(255, 'x');
    QTest::newRow("300 keeps 255, no zero") << QString(255, u'y') + QString(45, u'z') << QByteArray(255, 'y');
    QTest::newRow("code page character") << u"caf\u00e9.ckt"_s << QByteArray("caf\xe9.ckt") + QByteArray(247, '\0');
    QTest::newRow("outside the code page") << u"\u6f22.ckt"_s << QByteArray("?.ckt") + QByteArray(250, '\0');
}

void TestLauncher::pathImages()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, image);
    QCOMPARE(pathImage(path), image);
}

void TestLauncher::pathsThatClimbOutAreRefused_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("inside");
    QTest::newRow("plain") << u"amp.ckt"_s << true;
    QTest::newRow("sub-folder") << u"lab/amp.ckt"_s << true;
    QTest::newRow("dots in a name") << u"amp..v2.ckt"_s << true;
    QTest::newRow("climbs out") << u"../../.ssh/x.ckt"_s << false;
    QTest::newRow("climbs out later") << u"lab/../../x.ckt"_s << false;
    QTest::newRow("backslash form") << u"lab\\..\\..\\x.ckt"_s << false;
}

void TestLauncher::pathsThatClimbOutAreRefused()
{
    QFETCH(QString, commandLine);
    QFETCH(bool, inside);
    QCOMPARE(staysInCircuitFolder(commandLine), inside);
}

void TestLauncher::windowFoundAtOnce()
{
    Harness h;
    h.windows.found = true;
    h.launcher.launch(launchTargetFor(Simulator::Orvanix, u"amp.ckt"_s, u"/d"_s, u"/opt"_s, PathStyle::Posix));
    QCOMPARE(h.events, (QStringList{u"bring to front Orvanix"_s, u"EndVK"_s}));
    QCOMPARE(h.block("OrvaneName"), pathImage(u"/d/Marrowick/Orvanix/VK_CKTS/amp.ckt"_s));
    QCOMPARE(h.block("OrvanePrev"), QByteArray(1, '\3'));
    QVERIFY(!h.launcher.timer().isActive());
}

void TestLauncher::windowFoundOnALaterTick()
{
    Harness h;
    h.windows.foundOnCall = 4; // the search at launch, then ticks 1, 2 and 3
    h.launcher.launch(launchTargetFor(Simulator::Prismo, u"lab3.prb"_s, u"/d"_s, u"/opt"_s, PathStyle::Posix));
    QCOMPARE(h.events, (QStringList{u"bring to front Prismo -"_s, u"start /opt/Marrowick/Prismo/Prismo"_s}));
    QVERIFY(h.launcher.timer().isActive());
    QCOMPARE(h.launcher.timer().interval(), 1000);
    QCOMPARE(h.launcher.timer().objectName(), u"Timer3D"_s);
    QCOMPARE(h.block("OrvanePrev"), QByteArray(1, '\2'));
    h.events.clear();
    h.launcher.tick();
    h.launcher.tick();
    QCOMPARE(h.events.count(u"EndVK"_s), 0);
    h.launcher.tick();
    QCOMPARE(h.events.last(), u"EndVK"_s);
    QVERIFY(!h.launcher.timer().isActive());
    QVERIFY(h.dialogs.shown.isEmpty());
}

void TestLauncher::messageOnTick41()
{
    Harness h;
    h.shell.startsPrograms = false; // a missing program changes nothing but the wait
    h.dialogs.answers.push_back(Platform::Dialogs::Answer::Ok);
    h.launcher.launch(launchTargetFor(Simulator::Orvanix, u"amp.ckt"_s, u"/d"_s, u"/opt"_s, PathStyle::Posix));
    QCOMPARE(h.launcher.timer().objectName(), u"TimerCL"_s);
    for (int tick = 1; tick <= 40; ++tick)
        h.launcher.tick();
    QVERIFY(h.dialogs.shown.isEmpty());
    QCOMPARE(h.events.count(u"bring to front Orvanix"_s), 41);
    h.launcher.tick();
    QCOMPARE(h.dialogs.shown.size(), 1);
    QCOMPARE(h.dialogs.shown.first().text, u"Could not find Orvanix. Please retry or run Setup on the USB."_s);
    QCOMPARE(h.dialogs.shown.first().title, u"Tamberlyn"_s);
    QCOMPARE(h.dialogs.shown.first().buttons, Platform::Dialogs::Buttons::Ok);
    QCOMPARE(h.events.count(u"bring to front Orvanix"_s), 41); // no search on tick 41
    QCOMPARE(h.events.last(), u"EndVK"_s);
}

void TestLauncher::kq0000LeavesTheRequestCode()
{
    Harness h;
    h.blocks.writeRequestCode(2);
    h.windows.found = true;
    h.launcher.launch(launchTargetFor(Simulator::Orvanix, u"kq0000"_s, u"/d"_s, u"/opt"_s, PathStyle::Posix));
    QCOMPARE(h.block("OrvanePrev"), QByteArray(1, '\2'));
    QVERIFY(h.block("OrvaneName").startsWith("/d/Marrowick/Orvanix/VK_CKTS/kq0000"));
}

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
