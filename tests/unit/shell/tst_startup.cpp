#include "../common/fakes.h"

#include "shell/filechecks.h"
#include "shell/handover.h"
#include "shell/startup.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Tamberlyn;
using namespace Tamberlyn::Shell;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Tamberlyn::Shell::RunMode)

namespace {

// One start-up with fakes around it and a temporary home for its data folder.
struct Harness
{
    QTemporaryDir home;
    QStringList events;
    Fakes::Shell shell{events};
    Fakes::WindowSystem windows{events};
    Fakes::Channel channel{events};
    Fakes::Dialogs dialogs;
    FileChecks files{dialogs, [this] { events << u"EndVK"_s; }};
    Settings settings;
    VKState state;

    Harness()
    {
        shell.environment.insert(u"XDG_DATA_HOME"_s, home.path());
        settings.courseHost = settings.examHost = u"course.example:8443"_s;
    }

    QString dornDir() const { return home.path() + u"/Marrowick/KQ/"_s; }

    RunMode run()
    {
        channel.folderThatMustExist = dornDir();
        Startup startup(state, settings, {shell, windows, channel, files},
                        {
                            .loadInWeb1 = [this](const QString &a) { events << u"load "_s + a; },
                            .enableTimerEnd = [this] { events << u"TimerEnd on"_s; },
                            .setTitles = [this](const QString &t) { events << u"titles "_s + t; },
                            .endVK =
                                [this](int code) {
                                    events << (code == 0 ? u"EndVK"_s : u"EndVK with %1"_s.arg(code));
                                },
                            .showCourse =
                                [this] {
                                    events << u"course shows itself"_s;
                                    return u"Tamberlyn - Module 3"_s;
                                },
                            .runPopup = [this](const QString &c) { events << u"popup "_s + c; },
                            .runLauncher =
                                [this](RunMode m, const QString &c) {
                                    events << u"launch %1 %2"_s.arg(int(m)).arg(c);
                                },
                        });
        return startup.Form_Load();
    }
};

const QString Base = u"https://course.example:8443/kq_cbt/kq/"_s;

} // namespace

class TestStartup final : public QObject
{
    Q_OBJECT

private slots:
    void firstInstanceRunsTheCourse();
    void openingPageFollowsTheScreen_data();
    void openingPageFollowsTheScreen();
    void existingDataFolderIsKept();
    void secondInstanceModes_data();
    void secondInstanceModes();
    void handOverWithoutACourseWindow_data();
    void handOverWithoutACourseWindow();
    void fileChecksAskOnListingErrors_data();
    void fileChecksAskOnListingErrors();
    void realListerTellsFilesFromFolders();
};

void TestStartup::firstInstanceRunsTheCourse()
{
    Harness h;
    h.shell.line = u"/POPJPG=pics/panel.jpg /W 400 /H 300"_s;
    QCOMPARE(h.run(), RunMode::Course);

    QCOMPARE(h.state.FileLocn, Base);
    QCOMPARE(h.state.DornDir, h.dornDir());
    QVERIFY(QDir(h.dornDir()).exists()); // both missing levels were made
    QCOMPARE(h.shell.lockFolder, h.dornDir());
    QCOMPARE(h.shell.commandLineReads, 0); // a first instance never looks at it
    QCOMPARE(h.events, (QStringList{u"open blocks"_s, u"end flag 0"_s, u"instance test"_s,
                                    u"load "_s + Base + u"kqd.vxp"_s, u"TimerEnd on"_s,
                                    u"answer show requests"_s}));
    // A later start that finds no window of it asks through the lock's
    // channel, and the course shows itself.
    QVERIFY(h.shell.showRequests);
    QCOMPARE(h.shell.showRequests(), u"Tamberlyn - Module 3"_s);
    QCOMPARE(h.state.ScreenWidth, qint16(1280));
    QCOMPARE(h.state.ScreenHeight, qint16(1024));
    QCOMPARE(h.state.ScreenSize, qint16(4));
}

void TestStartup::openingPageFollowsTheScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("sizeClass");
    QTest::addColumn<QString>("page");

    QTest::newRow("1280x1024") << QSize(1280, 1024) << 4 << u"kqd.vxp"_s;
    QTest::newRow("3840x800 has no class") << QSize(3840, 800) << 0 << u"kqa.vxp"_s;
    QTest::newRow("1024x768") << QSize(1024, 768) << 1 << u"kqa.vxp"_s;
    QTest::newRow("1366x768") << QSize(1366, 768) << 2 << u"kqb.vxp"_s;
    QTest::newRow("2560x1600") << QSize(2560, 1600) << 10 << u"kqj.vxp"_s;
    QTest::newRow("3840x2160") << QSize(3840, 2160) << 11 << u"kqk.vxp"_s;
    QTest::newRow("larger than 16 bits") << QSize(70000, 70000) << 11 << u"kqk.vxp"_s;
}

void TestStartup::openingPageFollowsTheScreen()
{
    QFETCH(QSize, screen);
    QFETCH(int, sizeClass);
    QFETCH(QString, page);
    Harness h;
    h.windows.screen = screen;
    h.run();
    QCOMPARE(int(h.state.ScreenSize), sizeClass);
    QVERIFY2(h.events.contains(u"load "_s + Base + page), qPrintable(h.events.join(u" | "_s)));
}

void TestStartup::existingDataFolderIsKept()
{
    Harness h;
    QVERIFY(QDir().mkpath(h.dornDir()));
    QFile history(h.dornDir() + u"history.vxp"_s);
    QVERIFY(history.open(QIODevice::WriteOnly));
    history.write("\"kqd.vxp\"\r\n");
    history.close();

    h.run();
    QVERIFY(history.open(QIODevice::ReadOnly));
    QCOMPARE(history.readAll(), QByteArray("\"kqd.vxp\"\r\n"));
}

void TestStartup::secondInstanceModes_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<RunMode>("mode");
    QTest::addColumn<QStringList>("tail"); // events after the instance test

    QTest::newRow("hand-over")
        << QString() << RunMode::HandOver
        << QStringList{u"titles Ending"_s, u"bring to front Tamberlyn"_s, u"EndVK"_s};
    QTest::newRow("pop-up") << u"/POPJPG=p.jpg /W 1 /H 1"_s << RunMode::Popup
                            << QStringList{u"popup /POPJPG=p.jpg /W 1 /H 1"_s};
    QTest::newRow("Prismo") << u"rig.prb"_s << RunMode::LaunchPrismo
                            << QStringList{u"launch %1 rig.prb"_s.arg(int(RunMode::LaunchPrismo))};
    QTest::newRow("Orvanix") << u"kq0000"_s << RunMode::LaunchOrvanix
                             << QStringList{u"launch %1 kq0000"_s.arg(int(RunMode::LaunchOrvanix))};
    QTest::newRow("unknown line does nothing") << u"AMP.CKT"_s << RunMode::Nothing << QStringList{};
}

void TestStartup::secondInstanceModes()
{
    QFETCH(QString, commandLine);
    QFETCH(RunMode, mode);
    QFETCH(QStringList, tail);
    Harness h;
    h.shell.another = true;
    h.shell.line = commandLine;
    h.windows.found = true; // the course window is on the screen
    QCOMPARE(h.run(), mode);
    // Every instance opens the blocks and clears the end flag; no second
    // instance loads a page or starts the simulation watch.
    QCOMPARE(h.events, QStringList({u"open blocks"_s, u"end flag 0"_s, u"instance test"_s}) + tail);
}

void TestStartup::handOverWithoutACourseWindow_data()
{
    using Outcome = Platform::Shell::ShowReply::Outcome;
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("tail"); // events after the title search
    QTest::addColumn<QStringList>("says"); // on the terminal

    const QStringList asked{u"titles Ending"_s, u"bring to front Tamberlyn"_s, u"ask the course to show itself"_s};
    QTest::newRow("the course shows itself")
        << int(Outcome::Shown) << asked + QStringList{u"bring to front Tamberlyn - Module 3"_s, u"EndVK with 3"_s}
        << QStringList{u"no window titled \"Tamberlyn\" is on the screen"_s,
                       u"the running course (process 4242) was asked to show itself and showed "
                       u"\"Tamberlyn - Module 3\""_s};
    QTest::newRow("the course does not answer")
        << int(Outcome::NoAnswer) << asked + QStringList{u"EndVK with 4"_s}
        << QStringList{u"did not answer when asked to show itself: it may hang; end it (kill 4242)"_s};
    QTest::newRow("nothing listens")
        << int(Outcome::NotListening) << asked + QStringList{u"EndVK with 4"_s}
        << QStringList{u"cannot be asked to show itself; end it (kill 4242) and start the viewer again"_s};
}

void TestStartup::handOverWithoutACourseWindow()
{
    QFETCH(int, outcome);
    QFETCH(QStringList, tail);
    QFETCH(QStringList, says);
    Harness h;
    h.shell.another = true;
    h.shell.reply = {Platform::Shell::ShowReply::Outcome(outcome), u"Tamberlyn - Module 3"_s, 4242};
    QCOMPARE(h.run(), RunMode::HandOver);
    QCOMPARE(h.events.mid(3), tail);

    const HandOverOutcome told = handOverOutcome(u"Tamberlyn"_s, h.shell.reply);
    QCOMPARE(int(told.exitCode), int(tail.last().back().digitValue()));
    for (const QString &text : says)
        QVERIFY2(told.message.contains(text), qPrintable(told.message));
    QVERIFY(told.message.startsWith(u"tamberlyn: "_s));
}

void TestStartup::fileChecksAskOnListingErrors_data()
{
    using Listing = FileChecks::Listing;
    using Answer = Platform::Dialogs::Answer;
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QList<int>>("listings");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("ended");

    const auto L = [](Listing l) { return int(l); };
    const auto A = [](Answer a) { return int(a); };
    QTest::newRow("file found") << false << QList<int>{L(Listing::Found)} << QList<int>{} << true << false;
    QTest::newRow("file missing") << false << QList<int>{L(Listing::Missing)} << QList<int>{} << false << false;
    QTest::newRow("file error, OK retries")
        << false << QList<int>{L(Listing::Failed), L(Listing::Found)} << QList<int>{A(Answer::Ok)} << true << false;
    QTest::newRow("file error, Cancel ends")
        << false << QList<int>{L(Listing::Failed)} << QList<int>{A(Answer::Cancel)} << false << true;
    QTest::newRow("folder error twice, then found")
        << true << QList<int>{L(Listing::Failed), L(Listing::Failed), L(Listing::Found)}
        << QList<int>{A(Answer::Ok), A(Answer::Ok)} << true << false;
    QTest::newRow("folder error, Cancel gives false")
        << true << QList<int>{L(Listing::Failed)} << QList<int>{A(Answer::Cancel)} << false << false;
}

void TestStartup::fileChecksAskOnListingErrors()
{
    QFETCH(bool, folder);
    QFETCH(QList<int>, listings);
    QFETCH(QList<int>, answers);
    QFETCH(bool, result);
    QFETCH(bool, ended);

    Fakes::Dialogs dialogs;
    for (int answer : answers)
        dialogs.answers.push_back(Platform::Dialogs::Answer(answer));
    bool endCalled = false;
    FileChecks files(dialogs, [&endCalled] { endCalled = true; },
                     [&listings](const QString &, bool) { return FileChecks::Listing(listings.takeFirst()); });

    QCOMPARE(folder ? files.FolderExists(u"/x"_s) : files.FileExists(u"/x"_s), result);
    QCOMPARE(endCalled, ended);
    QVERIFY(listings.isEmpty());
    QCOMPARE(dialogs.shown.size(), answers.size());
    for (const auto &box : std::as_const(dialogs.shown)) {
        QCOMPARE(box.text, folder ? u"File Error"_s : u"Please run Setup on the USB"_s);
        QCOMPARE(box.title, folder ? u"File Error"_s : u"Tamberlyn"_s);
        QCOMPARE(box.buttons, Platform::Dialogs::Buttons::OkCancel);
        QCOMPARE(box.icon, Platform::Dialogs::Icon::Warning);
    }
}

void TestStartup::realListerTellsFilesFromFolders()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(u".hidden"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    Fakes::Dialogs dialogs;
    FileChecks files(dialogs, [] {});
    QVERIFY(files.FileExists(file.fileName()));
    QVERIFY(!files.FileExists(dir.path()));
    QVERIFY(files.FolderExists(dir.path() + u"/"_s));
    QVERIFY(!files.FolderExists(file.fileName()));
    QVERIFY(!files.FolderExists(QString()));
    QVERIFY(!files.FileExists(dir.filePath(u"missing/deeper"_s)));
    QVERIFY(!files.FileExists(file.fileName() + u"/below-a-file"_s));
    QVERIFY(dialogs.shown.isEmpty());
}

QTEST_APPLESS_MAIN(TestStartup)
#include "tst_startup.moc"
