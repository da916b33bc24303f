#include "e2eharness.h"

#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {
constexpr int PageTimeoutMs = 90000;
}

class TestStartupEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void opensTheContentsPageForTheScreen_data();
    void opensTheContentsPageForTheScreen();
    void refusesAServerWithoutItsPin_data();
    void refusesAServerWithoutItsPin();
    void secondInstanceLeavesTheCourseAndACrashLeavesNoLock();
};

void TestStartupEndToEnd::opensTheContentsPageForTheScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QString>("page");
    QTest::newRow("class 4") << QSize(1280, 1024) << u"kqd.vxp"_s;
    QTest::newRow("no class") << QSize(3840, 800) << u"kqa.vxp"_s;
}

void TestStartupEndToEnd::opensTheContentsPageForTheScreen()
{
    QFETCH(QSize, screen);
    QFETCH(QString, page);
    E2eHarness harness;
    QVERIFY2(harness.startDisplay(screen), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));

    QProcess *viewer = harness.startViewer();
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"document complete: "_s + harness.fileLocn() + page, PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    QVERIFY2(harness.waitForServerLog(u"GET /kq_cbt/kq/"_s + page + u" 200"_s, 10000), qPrintable(harness.serverLog()));
    // The data folder was made on the way.
    QVERIFY(QDir(harness.dornDir()).exists());
}

void TestStartupEndToEnd::refusesAServerWithoutItsPin_data()
{
    QTest::addColumn<QString>("pin");
    QTest::newRow("nothing pinned") << QString();
    QTest::newRow("another certificate pinned") << QString(64, u'A');
}

void TestStartupEndToEnd::refusesAServerWithoutItsPin()
{
    QFETCH(QString, pin);
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));

    QProcessEnvironment env = harness.viewerEnvironment();
    env.insert(u"TAMBERLYN_COURSE_PIN"_s, pin);
    QProcess *viewer = harness.startViewer({}, env);
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"rejected certificate"_s, PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"load failed:"_s, PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    QVERIFY(!E2eHarness::output(viewer).contains(u"document complete"_s));
    // The handshake failed, so not one course page left the server.
    QVERIFY2(!harness.serverLog().contains(u"/kq_cbt/kq/"_s), qPrintable(harness.serverLog()));
}

void TestStartupEndToEnd::secondInstanceLeavesTheCourseAndACrashLeavesNoLock()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    const QString loaded = u"document complete: "_s + harness.fileLocn() + u"kqd.vxp"_s;

    QProcess *course = harness.startViewer();
    QVERIFY2(E2eHarness::waitForOutput(course, loaded, PageTimeoutMs), qPrintable(E2eHarness::output(course)));

    // A second instance whose command line names no mode ends by itself and
    // leaves the course running.
    QProcess *second = harness.startViewer({u"AMP.CKT"_s});
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(!E2eHarness::output(second).contains(u"document complete"_s));
    QCOMPARE(course->state(), QProcess::Running);

    // Killed outright, the course leaves its lock file behind; the next
    // start is still a first instance and shows the course.
    ::kill(pid_t(course->processId()), SIGKILL);
    QVERIFY(course->waitForFinished(10000));
    QVERIFY(QFile::exists(harness.dornDir() + u"tamberlyn.lock"_s));
    QProcess *restarted = harness.startViewer({u"AMP.CKT"_s});
    QVERIFY2(E2eHarness::waitForOutput(restarted, loaded, PageTimeoutMs), qPrintable(E2eHarness::output(restarted)));
}

QTEST_GUILESS_MAIN(TestStartupEndToEnd)
#include "tst_startup_e2e.moc"
