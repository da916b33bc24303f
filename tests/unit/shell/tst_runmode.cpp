#include "shell/runmode.h"
#include "shell/runmodehelp.h"

#include <QTest>

using namespace Tamberlyn::Shell;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Tamberlyn::Shell::RunMode)
Q_DECLARE_METATYPE(Tamberlyn::Shell::SelfInfo)

class TestRunMode final : public QObject
{
    Q_OBJECT

private slots:
    void dispatch_data();
    void dispatch();
    void selfInfo_data();
    void selfInfo();
};

void TestRunMode::dispatch_data()
{
    QTest::addColumn<bool>("another");
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<RunMode>("mode");

    QTest::newRow("first, empty") << false << QString() << RunMode::Course;
    QTest::newRow("first ignores a pop-up line") << false << u"/POPJPG=p.jpg /W 10 /H 10"_s << RunMode::Course;
    QTest::newRow("first ignores a circuit") << false << u"amp.ckt"_s << RunMode::Course;
    QTest::newRow("second, empty") << true << QString() << RunMode::HandOver;
    QTest::newRow("pop-up") << true << u"/POPJPG=pics/panel.jpg /W 400 /H 300"_s << RunMode::Popup;
    QTest::newRow("pop-up prefix in lower case") << true << u"/popjpg=p.jpg"_s << RunMode::Nothing;
    QTest::newRow("lower-case pop-up ending in .ckt") << true << u"/popjpg=x.ckt"_s << RunMode::LaunchOrvanix;
    QTest::newRow("pop-up prefix wins over .cir") << true << u"/POPJPG=x.cir"_s << RunMode::Popup;
    QTest::newRow(".cir") << true << u"lab\\amp.cir"_s << RunMode::LaunchPrismo;
    QTest::newRow(".prb") << true << u"lab/rig.prb"_s << RunMode::LaunchPrismo;
    QTest::newRow(".ckt") << true << u"amp.ckt"_s << RunMode::LaunchOrvanix;
    QTest::newRow("upper-case .CKT starts nothing") << true << u"AMP.CKT"_s << RunMode::Nothing;
    QTest::newRow("kq0000") << true << u"kq0000"_s << RunMode::LaunchOrvanix;
    QTest::newRow("kq0000 with more") << true << u"kq0000 x"_s << RunMode::Nothing;
    QTest::newRow("bare .ckt") << true << u".ckt"_s << RunMode::LaunchOrvanix;
    QTest::newRow("anything else") << true << u"hello"_s << RunMode::Nothing;
    QTest::newRow("a single space is not empty") << true << u" "_s << RunMode::Nothing;
}

void TestRunMode::dispatch()
{
    QFETCH(bool, another);
    QFETCH(QString, commandLine);
    QFETCH(RunMode, mode);
    QCOMPARE(chooseRunMode(another, commandLine), mode);
}

// --help and --version are answered only as the whole command line, so no
// command line a run mode takes is ever taken for one.
void TestRunMode::selfInfo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<SelfInfo>("asked");

    QTest::newRow("help") << QStringList{u"--help"_s} << SelfInfo::Help;
    QTest::newRow("version") << QStringList{u"--version"_s} << SelfInfo::Version;
    QTest::newRow("no arguments: course or hand-over") << QStringList{} << SelfInfo::None;
    QTest::newRow("help with more") << QStringList{u"--help"_s, u"amp.ckt"_s} << SelfInfo::None;
    QTest::newRow("version with more") << QStringList{u"--version"_s, u"x"_s} << SelfInfo::None;
    QTest::newRow("a circuit named --help.ckt") << QStringList{u"--help.ckt"_s} << SelfInfo::None;
    QTest::newRow("pop-up") << QStringList{u"/POPJPG=--help"_s, u"/W"_s, u"1"_s, u"/H"_s, u"1"_s} << SelfInfo::None;
    QTest::newRow("kq0000") << QStringList{u"kq0000"_s} << SelfInfo::None;
    QTest::newRow("short -h is no option here") << QStringList{u"-h"_s} << SelfInfo::None;
    QTest::newRow("case matters") << QStringList{u"--HELP"_s} << SelfInfo::None;
}

void TestRunMode::selfInfo()
{
    QFETCH(QStringList, arguments);
    QFETCH(SelfInfo, asked);
    QCOMPARE(selfInfoAsked(arguments), asked);
}

QTEST_APPLESS_MAIN(TestRunMode)
#include "tst_runmode.moc"
