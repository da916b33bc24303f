#include "../common/fakes.h"
#include "fakewindow.h"

#include "navigation/navigationcommands.h"
#include "navigation/pageloadhandler.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Tamberlyn::Navigation;
using namespace Qt::StringLiterals;

namespace {

const QString Base = u"https://course.example/kq_cbt/kq/"_s;

QStringList linksFor(const QString &name)
{
    QStringList links;
    for (int i = 0; i < 6; ++i)
        links << Base + name + u"#link%1"_s.arg(i);
    return links;
}

// The handler and the commands wired to fakes, as the main window wires them.
struct Harness
{
    QStringList events;
    Fakes::Pane pane{events};
    Fakes::Clock clock{events};
    Fakes::Shell shell{events};
    FakeWindow window{events};
    PageLoadHandler handler{pane, clock, shell, window};
    NavigationCommands commands{handler.state(), handler.turns(), pane, clock, window};

    Harness() { clock.duringWait = [this] { pane.deliverAll(); }; }

    NavigationState &state() { return handler.state(); }

    // Every course page of these tests carries six links of its own.
    void load(const QString &name)
    {
        const QString address = name.contains(u':') ? name : Base + name;
        if (!pane.linksOf.contains(address))
            pane.linksOf.insert(address, linksFor(name));
        pane.navigate(address);
        pane.deliverAll();
    }
    // Events since the last call.
    QStringList take()
    {
        QStringList taken = events;
        events.clear();
        return taken;
    }
};

} // namespace

class TestPageLoadHandler final : public QObject
{
    Q_OBJECT

private slots:
    void dispatch_data();
    void dispatch();
    void blankAddressesOnlyFitThePane_data();
    void blankAddressesOnlyFitThePane();
    void missingLinksKeepTheirBindings();
    void finderTriggersShowTheSplashOnce();
    void triggerRunNestsThePageItStepsBackTo();
    void backStepsOverAModuleStub();
    void backOnTheFirstPageLeavesGoingBackSet();
    void alternateContentsFollowsTheSizeClass();
    void contentsToggles_data();
    void contentsToggles();
    void buttonsLoadTheirBindings();
    void searchAndHistoryButtons();
    void triggerPageOpenedWhileTheMainWindowIsDown_data();
    void triggerPageOpenedWhileTheMainWindowIsDown();
    void laterCommandOvertakesOneStillPausing_data();
    void laterCommandOvertakesOneStillPausing();
};

void TestPageLoadHandler::dispatch_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("sizeClass");
    QTest::addColumn<QStringList>("reaction"); // events between the caption and Finish
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("bound"); // "own": its own first three links

    const QString tam = u"Tamberlyn"_s;
    QTest::newRow("title video") << u"title.vxp"_s << 4
                                 << QStringList{u"back"_s, u"video "_s + Base + u"/kq/title.avi"_s} << tam << QString();
    QTest::newRow("figure video") << u"fig0105.vxp"_s << 4
                                  << QStringList{u"back"_s, u"video "_s + Base + u"c01/fig0105.avi"_s} << tam << QString();
    QTest::newRow("sound") << u"v0101.vxp"_s << 4 << QStringList{u"back"_s, u"sound "_s + Base + u"c01/v0101.wav"_s}
                           << tam << QString();
    QTest::newRow("video.vxp is a sound") << u"video.vxp"_s << 4
                                          << QStringList{u"back"_s, u"sound "_s + Base + u"cid/video.wav"_s} << tam
                                          << QString();
    QTest::newRow("module page") << u"mod03g.vxp"_s << 4 << QStringList{} << u"Tamberlyn - Module 3"_s << u"own"_s;
    QTest::newRow("objectives page") << u"obj05a.vxp"_s << 4 << QStringList{} << u"Tamberlyn - Module 5"_s << u"own"_s;
    QTest::newRow("exam")
        << u"pe05.vxp"_s << 4
        << QStringList{u"wait"_s,
                       u"browser https://exams.example/practicestudent/exam/tamberlyn/solar-pv-panels--arrays"_s,
                       u"back"_s}
        << tam << QString();
    QTest::newRow("search") << u"search.vxp"_s << 4
                            << QStringList{u"wait"_s, u"state 0"_s, u"splash on"_s, u"load finder 0"_s, u"splash off"_s} << tam << QString();
    QTest::newRow("index") << u"index.vxp"_s << 4
                           << QStringList{u"wait"_s, u"state 1"_s, u"splash on"_s, u"load finder 1"_s, u"splash off"_s} << tam << QString();
    QTest::newRow("history") << u"hist.vxp"_s << 4
                             << QStringList{u"wait"_s, u"state 2"_s, u"splash on"_s, u"load finder 2"_s, u"splash off"_s} << tam << QString();
    QTest::newRow("contents") << u"kqd.vxp"_s << 4 << QStringList{u"record kqd.vxp"_s} << tam << u"own"_s;
    QTest::newRow("alternate contents")
        << u"kqcrg.vxp"_s << 4
        << QStringList{u"classify"_s, u"link 5 := "_s + Base + u"kqd.vxp"_s, u"record kqcrg.vxp"_s} << tam
        << Base + u"kqd.vxp"_s;
    QTest::newRow("opening stub") << u"kq020001.vxp"_s << 4
                                  << QStringList{u"navigate "_s + Base + u"mod02d.vxp"_s, u"record kq020001.vxp"_s}
                                  << u"Tamberlyn - Module 2"_s << u"own"_s;
    QTest::newRow("objectives stub, no class: no variant")
        << u"kq050002.vxp"_s << 0 << QStringList{u"record kq050002.vxp"_s} << u"Tamberlyn - Module 5"_s << u"own"_s;
    QTest::newRow("objectives stub class 11") << u"kq070002.vxp"_s << 11
                                              << QStringList{u"navigate "_s + Base + u"obj07k.vxp"_s,
                                                             u"record kq070002.vxp"_s}
                                              << u"Tamberlyn - Module 7"_s << u"own"_s;
    QTest::newRow("content page") << u"kq030017.vxp"_s << 4 << QStringList{u"record kq030017.vxp"_s}
                                  << u"Tamberlyn - Module 3"_s << u"own"_s;
    QTest::newRow("practice page") << u"kqpracd.vxp"_s << 4 << QStringList{u"record kqpracd.vxp"_s} << tam << u"own"_s;
    QTest::newRow("capital S is ordinary") << u"Search.vxp"_s << 4 << QStringList{u"record Search.vxp"_s} << tam << u"own"_s;
    QTest::newRow("upper-case stub is ordinary") << u"KQ010001.VXP"_s << 4 << QStringList{u"record KQ010001.VXP"_s}
                                                 << tam << u"own"_s;
    QTest::newRow("fragment makes it ordinary") << u"kqd.vxp#top"_s << 4 << QStringList{u"record kqd.vxp#top"_s}
                                                << tam << u"own"_s;
    QTest::newRow("module 8 stub is ordinary") << u"kq080001.vxp"_s << 4 << QStringList{u"record kq080001.vxp"_s}
                                               << u"Tamberlyn - Module 8"_s << u"own"_s;
}

void TestPageLoadHandler::dispatch()
{
    QFETCH(QString, name);
    QFETCH(int, sizeClass);
    QFETCH(QStringList, reaction);
    QFETCH(QString, caption);
    QFETCH(QString, bound);

    Harness h;
    h.window.screenClass = sizeClass;
    h.state().GoingBack = false;
    h.pane.linksOf.insert(Base + name, linksFor(name));
    h.pane.navigate(Base + name);
    h.take();
    // One report, delivered without the loads it starts (those are other runs).
    --h.pane.pendingReports;
    emit h.pane.documentComplete(Base + name);

    const QStringList expected = QStringList{u"show"_s, u"caption "_s + caption} + reaction + QStringList{u"fit"_s};
    QCOMPARE(h.take(), expected);
    QCOMPARE(h.state().PageName, name);
    const auto expectedLink = [&](int i) {
        return bound == u"own"_s ? Base + name + u"#link%1"_s.arg(i) : bound;
    };
    QCOMPARE(h.state().SecnLink, expectedLink(0));
    QCOMPARE(h.state().PrevLink, expectedLink(1));
    QCOMPARE(h.state().NextLink, expectedLink(2));
}

void TestPageLoadHandler::blankAddressesOnlyFitThePane_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << QString();
    QTest::newRow("HTTP:///") << u"HTTP:///"_s;
    QTest::newRow("http:/// any case") << u"http:///"_s;
    QTest::newRow("file:///") << u"File:///"_s;
    QTest::newRow("about:blank") << u"about:blank"_s;
    QTest::newRow("outside the course") << u"https://exams.example/practicestudent/exam/tamberlyn/safety"_s;
    QTest::newRow("KQ/ in upper case") << u"https://course.example/KQ/kqd.vxp"_s;
}

void TestPageLoadHandler::blankAddressesOnlyFitThePane()
{
    QFETCH(QString, address);
    Harness h;
    h.load(u"kq030017.vxp"_s);
    h.window.visible = false;
    h.state().GoingBack = true;
    const QString caption = h.window.caption;
    h.take();

    h.pane.history = {address};
    h.pane.current = 0;
    emit h.pane.documentComplete(address);
    QCOMPARE(h.take(), QStringList{u"fit"_s}); // no show, no caption, no record
    QCOMPARE(h.state().PageName, address);     // the whole address
    QCOMPARE(h.state().ModuleNo, qint16(3));
    QCOMPARE(h.window.caption, caption);
    QVERIFY(!h.state().GoingBack);
    QCOMPARE(h.state().NextLink, Base + u"kq030017.vxp#link2"_s);
}

void TestPageLoadHandler::missingLinksKeepTheirBindings()
{
    Harness h;
    h.load(u"kq010003.vxp"_s);
    h.pane.linksOf.insert(Base + u"kq010004.vxp"_s, {u"S"_s, u"P"_s}); // no third link
    h.load(u"kq010004.vxp"_s);
    QCOMPARE(h.state().SecnLink, u"S"_s);
    QCOMPARE(h.state().PrevLink, u"P"_s);
    QCOMPARE(h.state().NextLink, Base + u"kq010003.vxp#link2"_s);

    // A caption without a module keeps the number it had.
    h.load(u"kqb.vxp"_s);
    QCOMPARE(h.window.caption, u"Tamberlyn"_s);
    QCOMPARE(h.state().ModuleNo, qint16(1));
}

void TestPageLoadHandler::finderTriggersShowTheSplashOnce()
{
    Harness h;
    h.load(u"kqd.vxp"_s);
    h.load(u"search.vxp"_s);
    h.load(u"hist.vxp"_s);
    h.take();
    h.load(u"search.vxp"_s);
    // The window takes the main window's state and, after the pause, the
    // state again (the learner may have changed it) and its place.
    QCOMPARE(h.take(), (QStringList{u"navigate "_s + Base + u"search.vxp"_s, u"caption Tamberlyn"_s, u"state 0"_s,
                                    u"wait"_s, u"state 0"_s, u"position 0"_s, u"show finder 0"_s, u"splash off"_s,
                                    u"fit"_s}));
    // Every later history trigger reloads the list (showFinder does that for History).
    h.load(u"hist.vxp"_s);
    QVERIFY(h.take().contains(u"show finder 2"_s));
    QVERIFY(h.state().SearchLoaded && h.state().HistLoaded && !h.state().IndexLoaded);
}

void TestPageLoadHandler::triggerRunNestsThePageItStepsBackTo()
{
    Harness h;
    QTemporaryDir data;
    h.window.log.setDornDir(data.path() + u"/"_s);
    h.window.logToFile = true;
    // The player pauses after starting, as the real one does.
    h.window.whilePlaying = [&h] { h.clock.waitSecond(); };

    h.load(u"kq010003.vxp"_s);
    h.take();
    h.state().GoingBack = true;
    h.load(u"fig0105.vxp"_s);
    QCOMPARE(h.take(), (QStringList{
                           u"navigate "_s + Base + u"fig0105.vxp"_s,
                           u"caption Tamberlyn"_s,
                           u"back"_s,
                           u"video "_s + Base + u"c01/fig0105.avi"_s,
                           u"wait"_s,
                           // the run for the page stepped back to, inside the pause
                           u"caption Tamberlyn - Module 1"_s,
                           u"record kq010003.vxp"_s,
                           u"fit"_s,
                           // the trigger's own run finishes
                           u"fit"_s,
                       }));
    QCOMPARE(h.state().PageName, u"kq010003.vxp"_s);
    QVERIFY(!h.state().GoingBack);

    QFile file(h.window.log.filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\"kq010003.vxp\"\r\n\"kq010003.vxp\"\r\n"));
}

void TestPageLoadHandler::backStepsOverAModuleStub()
{
    Harness h;
    QTemporaryDir data;
    h.window.log.setDornDir(data.path() + u"/"_s);
    h.window.logToFile = true;

    h.load(u"kqd.vxp"_s);
    h.load(u"kq020001.vxp"_s); // the stub loads module 2's page for class 4
    QCOMPARE(h.pane.locationUrl(), Base + u"mod02d.vxp"_s);
    QCOMPARE(h.window.caption, u"Tamberlyn - Module 2"_s);
    h.load(u"kq020003.vxp"_s);
    h.take();

    h.commands.cmdBack_Click(); // to the module page: not recorded
    h.pane.deliverAll();
    QCOMPARE(h.pane.locationUrl(), Base + u"mod02d.vxp"_s);
    h.commands.cmdBack_Click(); // onto the stub, which steps back once more
    h.pane.deliverAll();
    QCOMPARE(h.pane.locationUrl(), Base + u"kqd.vxp"_s);
    QVERIFY(!h.state().GoingBack);
    QCOMPARE(h.take().count(u"back"_s), 3);

    QFile file(h.window.log.filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\"kqd.vxp\"\r\n\"kq020001.vxp\"\r\n\"kq020003.vxp\"\r\n\"kqd.vxp\"\r\n"));
}

void TestPageLoadHandler::backOnTheFirstPageLeavesGoingBackSet()
{
    Harness h;
    h.load(u"kqd.vxp"_s);
    h.commands.cmdBack_Click();
    h.pane.deliverAll(); // nothing to go back to: no run
    QVERIFY(h.state().GoingBack);
    h.take();

    // The next page is a stub: it is stepped back over like one reached by Back.
    h.load(u"kq020001.vxp"_s);
    h.pane.deliverAll();
    const QStringList events = h.take();
    QVERIFY(!events.contains(u"navigate "_s + Base + u"mod02d.vxp"_s));
    QVERIFY(!events.contains(u"record kq020001.vxp"_s));
    QVERIFY(events.contains(u"record kqd.vxp"_s));
    QCOMPARE(h.pane.locationUrl(), Base + u"kqd.vxp"_s);
    QVERIFY(!h.state().GoingBack);

    // Any other page clears the flag.
    h.commands.cmdBack_Click();
    h.load(u"kq010003.vxp"_s);
    QVERIFY(!h.state().GoingBack);
}

void TestPageLoadHandler::alternateContentsFollowsTheSizeClass()
{
    Harness h;
    h.window.measured = {1920, 1080};
    h.load(u"kqcrg.vxp"_s);
    QCOMPARE(h.window.screenClass, 7);
    const QString g = Base + u"kqg.vxp"_s;
    QCOMPARE(h.state().SecnLink, g);
    QCOMPARE(h.state().PrevLink, g);
    QCOMPARE(h.state().NextLink, g);
    QCOMPARE(h.pane.links().at(5), g);

    // Made smaller while the page is shown: the page is loaded again and all
    // three buttons now lead to the class 2 contents page.
    h.window.measured = {1366, 768};
    h.load(u"kqcrg.vxp"_s);
    QCOMPARE(h.window.screenClass, 2);
    h.take();
    h.commands.cmdNext_Click();
    QCOMPARE(h.take(), (QStringList{u"hide help"_s, u"navigate "_s + Base + u"kqb.vxp"_s}));
}

void TestPageLoadHandler::contentsToggles_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("sizeClass");
    QTest::addColumn<QString>("loaded");

    QTest::newRow("kqb, class 2") << u"kqb.vxp"_s << 2 << u"kqcrb.vxp"_s;
    QTest::newRow("kqb, class 3") << u"kqb.vxp"_s << 3 << u"kqc.vxp"_s;
    QTest::newRow("kqa, no class") << u"kqa.vxp"_s << 0 << u"kqcra.vxp"_s;
    QTest::newRow("kqa, class 1") << u"kqa.vxp"_s << 1 << u"kqcra.vxp"_s;
    QTest::newRow("kqcra, no class") << u"kqcra.vxp"_s << 0 << u"kqa.vxp"_s;
    QTest::newRow("content page") << u"kq030017.vxp"_s << 11 << u"kqk.vxp"_s;
}

void TestPageLoadHandler::contentsToggles()
{
    QFETCH(QString, shown);
    QFETCH(int, sizeClass);
    QFETCH(QString, loaded);
    Harness h;
    h.window.screenClass = sizeClass;
    h.window.measured = {1280, 700}; // keeps the class when kqcr… reclassifies
    h.load(shown);
    h.take();
    h.commands.cmdCont_Click();
    QCOMPARE(h.take(), (QStringList{u"hide help"_s, u"navigate "_s + Base + loaded}));
}

void TestPageLoadHandler::buttonsLoadTheirBindings()
{
    Harness h;
    // Before any page bound links the stored addresses are empty, and are
    // passed on as they are.
    h.commands.cmdPrev_Click();
    h.commands.cmdNext_Click();
    h.commands.cmdSecn_Click();
    QCOMPARE(h.take(), (QStringList{u"hide help"_s, u"navigate "_s, u"hide help"_s, u"navigate "_s,
                                    u"hide help"_s, u"navigate "_s}));

    h.pane.history.clear();
    h.pane.current = -1;
    h.pane.pendingReports = 0;
    h.load(u"kq040010.vxp"_s);
    h.take();
    h.commands.cmdSecn_Click();
    h.commands.cmdPrev_Click();
    h.commands.cmdNext_Click();
    const QString page = Base + u"kq040010.vxp"_s;
    QCOMPARE(h.take(), (QStringList{u"hide help"_s, u"navigate "_s + page + u"#link0"_s, u"hide help"_s,
                                    u"navigate "_s + page + u"#link1"_s, u"hide help"_s,
                                    u"navigate "_s + page + u"#link2"_s}));
}

void TestPageLoadHandler::searchAndHistoryButtons()
{
    Harness h;
    h.load(u"kqd.vxp"_s);
    h.take();
    h.clock.duringWait = nullptr; // the load starts after the pause; deliver nothing yet
    h.commands.cmdSearch_Click();
    h.commands.cmdHist_Click();
    QCOMPARE(h.take(), (QStringList{u"hide help"_s, u"state 0"_s, u"wait"_s, u"state 0"_s, u"position 0"_s,
                                    u"navigate "_s + Base + u"search.vxp"_s, u"hide help"_s, u"state 2"_s, u"wait"_s,
                                    u"state 2"_s, u"position 2"_s, u"navigate "_s + Base + u"hist.vxp"_s}));
}

void TestPageLoadHandler::triggerPageOpenedWhileTheMainWindowIsDown_data()
{
    QTest::addColumn<bool>("pageFails");
    QTest::newRow("the page came") << false;
    QTest::newRow("the page could not be fetched") << true;
}

// A finder window switching to another hands its place over itself; the
// main window, down until the trigger page shows it, passes on only its
// state, which that finder window gave it and the learner may have changed
// since. A trigger page that cannot be fetched leaves the main window down,
// and the window opens all the same.
void TestPageLoadHandler::triggerPageOpenedWhileTheMainWindowIsDown()
{
    QFETCH(bool, pageFails);
    Harness h;
    h.load(u"kqd.vxp"_s);
    h.load(u"kq010003.vxp"_s); // a page run with the main window up
    h.window.visible = false;
    h.take();
    if (pageFails)
        QVERIFY(h.handler.openFinderFor(Base + u"index.vxp"_s));
    else
        h.load(u"index.vxp"_s);
    const QStringList events = h.take();
    QCOMPARE(events.contains(u"show"_s), !pageFails);
    QVERIFY(events.contains(u"load finder 1"_s));
    // After the pause, and once only: nothing before it.
    QCOMPARE(events.count(u"state 1"_s), 1);
    QVERIFY(events.indexOf(u"state 1"_s) > events.indexOf(u"wait"_s));
    QVERIFY(!events.contains(u"position 1"_s));
}

void TestPageLoadHandler::laterCommandOvertakesOneStillPausing_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("during"); // given in the first pause
    QTest::addColumn<QStringList>("seen");
    QTest::addColumn<QStringList>("never");

    const QString search = u"navigate "_s + Base + u"search.vxp"_s;
    QTest::newRow("nothing in the pause") << u"Search"_s << QString() << QStringList{search, u"load finder 0"_s}
                                          << QStringList{};
    QTest::newRow("Contents in Search's pause")
        << u"Search"_s << u"Contents"_s << QStringList{u"navigate "_s + Base + u"kqcrd.vxp"_s}
        << QStringList{search, u"load finder 0"_s, u"position 0"_s};
    QTest::newRow("History in Search's pause")
        << u"Search"_s << u"History"_s << QStringList{u"navigate "_s + Base + u"hist.vxp"_s, u"load finder 2"_s}
        << QStringList{search, u"load finder 0"_s};
    QTest::newRow("a link in Search's pause")
        << u"Search"_s << u"link"_s << QStringList{u"navigate "_s + Base + u"kq010003.vxp"_s}
        << QStringList{search, u"load finder 0"_s};
    QTest::newRow("Contents in the pause of a trigger page reached by a link")
        << u"link to search.vxp"_s << u"Contents"_s << QStringList{u"navigate "_s + Base + u"kqd.vxp"_s}
        << QStringList{u"load finder 0"_s, u"show finder 0"_s, u"splash on"_s, u"position 0"_s};
    // The trigger page could not be fetched: its window opens without it,
    // in the main window's place, and a later command overtakes it as well.
    QTest::newRow("nothing in the pause of a failed trigger page")
        << u"failed link to search.vxp"_s << QString() << QStringList{u"state 0"_s, u"position 0"_s, u"load finder 0"_s}
        << QStringList{u"show"_s};
    QTest::newRow("Contents in the pause of a failed trigger page")
        << u"failed link to search.vxp"_s << u"Contents"_s << QStringList{u"navigate "_s + Base + u"kqcrd.vxp"_s}
        << QStringList{u"load finder 0"_s, u"show finder 0"_s, u"splash on"_s, u"position 0"_s};
    QTest::newRow("Next in an exam's pause")
        << u"link to pe01.vxp"_s << u"Next"_s << QStringList{u"navigate "_s + Base + u"kqd.vxp#link2"_s}
        << QStringList{u"back"_s, u"browser https://exams.example/practicestudent/exam/tamberlyn/"
                                  "introduction-to-solar-pv-systems"_s};
}

// Whatever the learner gives during a pause runs at once, inside it; the
// command that paused then goes no further, so the last command given is
// the one that decides where the learner ends.
void TestPageLoadHandler::laterCommandOvertakesOneStillPausing()
{
    QFETCH(QString, first);
    QFETCH(QString, during);
    QFETCH(QStringList, seen);
    QFETCH(QStringList, never);

    Harness h;
    h.load(u"kqd.vxp"_s);
    QVERIFY(h.window.visible);
    h.take();
    const auto give = [&h](const QString &command) {
        if (command == u"Search"_s) {
            h.commands.cmdSearch_Click();
        } else if (command == u"History"_s) {
            h.commands.cmdHist_Click();
        } else if (command == u"Contents"_s) {
            h.commands.cmdCont_Click();
        } else if (command == u"Next"_s) {
            h.commands.cmdNext_Click();
        } else if (command.startsWith(u"failed "_s)) {
            // A link whose page cannot be fetched: the load's failure is
            // all that comes back.
            const QString page = command.section(u' ', 3);
            emit h.pane.linkFollowed(Base + page);
            QVERIFY(h.handler.openFinderFor(Base + page));
        } else {
            // A link in the page: the engine reports it and loads its target.
            const QString page = command == u"link"_s ? u"kq010003.vxp"_s : command.section(u' ', 2);
            emit h.pane.linkFollowed(Base + page);
            h.pane.navigate(Base + page);
        }
    };
    bool given = false;
    h.clock.duringWait = [&] {
        if (!given && !during.isEmpty()) {
            given = true;
            give(during);
        }
        h.pane.deliverAll();
    };
    give(first);
    h.pane.deliverAll();

    const QStringList events = h.take();
    for (const QString &event : seen)
        QVERIFY2(events.contains(event), qPrintable(event + u" missing from: "_s + events.join(u" | "_s)));
    for (const QString &event : never)
        QVERIFY2(!events.contains(event), qPrintable(event + u" in: "_s + events.join(u" | "_s)));
    QVERIFY(h.handler.turns().latest() >= (during.isEmpty() ? 1u : 2u));
}

QTEST_GUILESS_MAIN(TestPageLoadHandler)
#include "tst_pageloadhandler.moc"
