#include "shell/folders.h"
#include "shell/settings.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Tamberlyn::Shell;
using namespace Qt::StringLiterals;

namespace {

using Environment = QHash<QString, QString>;

EnvironmentLookup lookupIn(const Environment &environment)
{
    return [environment](const QString &name) { return environment.value(name); };
}

} // namespace

class TestSettings final : public QObject
{
    Q_OBJECT

private slots:
    void windowsFolders_data();
    void windowsFolders();
    void linuxFolders_data();
    void linuxFolders();
    void environmentOverridesFile();
    void defaults();
    void courseHost_data();
    void courseHost();
    void malformedPinIsAProblem();
    void courseTimeout_data();
    void courseTimeout();
    void zoomIsWrittenAtOnceAndReadBack();
    void lookIsKeptLikeTheZoom();
};

void TestSettings::windowsFolders_data()
{
    QTest::addColumn<Environment>("environment");
    QTest::addColumn<QString>("programFiles");
    QTest::addColumn<QString>("dornDir");

    QTest::newRow("x86 first") << Environment{{u"ProgramFiles(x86)"_s, u"D:\\PF86"_s},
                                              {u"ProgramFiles"_s, u"D:\\PF"_s},
                                              {u"APPDATA"_s, u"C:\\Users\\a\\AppData\\Roaming"_s}}
                               << u"D:\\PF86"_s << u"C:\\Users\\a\\AppData\\Roaming\\Marrowick\\KQ\\"_s;
    QTest::newRow("then ProgramFiles") << Environment{{u"ProgramFiles"_s, u"D:\\PF"_s}} << u"D:\\PF"_s
                                       << u"\\Marrowick\\KQ\\"_s;
    QTest::newRow("both unset") << Environment{} << u"C:\\Program Files"_s << u"\\Marrowick\\KQ\\"_s;
}

void TestSettings::windowsFolders()
{
    QFETCH(Environment, environment);
    QFETCH(QString, programFiles);
    QFETCH(QString, dornDir);
    const Folders folders = Tamberlyn::Shell::windowsFolders(lookupIn(environment));
    QCOMPARE(folders.programFiles, programFiles);
    QCOMPARE(folders.dornDir, dornDir);
}

void TestSettings::linuxFolders_data()
{
    QTest::addColumn<Environment>("environment");
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("programFiles");
    QTest::addColumn<QString>("dornDir");

    QTest::newRow("XDG_DATA_HOME") << Environment{{u"XDG_DATA_HOME"_s, u"/data/"_s}, {u"HOME"_s, u"/home/a"_s}}
                                   << QString() << u"/opt"_s << u"/data/Marrowick/KQ/"_s;
    QTest::newRow("HOME default") << Environment{{u"HOME"_s, u"/home/a"_s}} << u"/srv/sims"_s << u"/srv/sims"_s
                                  << u"/home/a/.local/share/Marrowick/KQ/"_s;
    QTest::newRow("relative XDG_DATA_HOME is ignored")
        << Environment{{u"XDG_DATA_HOME"_s, u"data"_s}, {u"HOME"_s, u"/home/a"_s}} << QString() << u"/opt"_s
        << u"/home/a/.local/share/Marrowick/KQ/"_s;
    QTest::newRow("nothing set") << Environment{} << QString() << u"/opt"_s << u"/Marrowick/KQ/"_s;
}

void TestSettings::linuxFolders()
{
    QFETCH(Environment, environment);
    QFETCH(QString, configured);
    QFETCH(QString, programFiles);
    QFETCH(QString, dornDir);
    const Folders folders = Tamberlyn::Shell::linuxFolders(lookupIn(environment), configured);
    QCOMPARE(folders.programFiles, programFiles);
    QCOMPARE(folders.dornDir, dornDir);
}

void TestSettings::environmentOverridesFile()
{
    QTemporaryDir dir;
    QSettings ini(dir.filePath(u"Tamberlyn.ini"_s), QSettings::IniFormat);
    ini.setValue(u"course/host"_s, u"course.example"_s);
    ini.setValue(u"course/pin"_s, QString(64, u'a'));
    ini.setValue(u"exam/host"_s, u"exams.example"_s);
    ini.setValue(u"programs/calculator"_s, u"xcalc"_s);

    const Settings settings = Settings::read(ini, lookupIn({{u"TAMBERLYN_COURSE_HOST"_s, u"127.0.0.1:9443"_s},
                                                            {u"TAMBERLYN_CALCULATOR"_s, u"  "_s}}));
    QCOMPARE(settings.courseHost, u"127.0.0.1:9443"_s);
    QCOMPARE(settings.coursePin, QString(64, u'a'));
    QCOMPARE(settings.examHost, u"exams.example"_s);
    QCOMPARE(settings.calculator, u"xcalc"_s); // a blank variable does not override
    QCOMPARE(settings.fileLocn(), u"https://127.0.0.1:9443/kq_cbt/kq/"_s);
    QVERIFY(settings.problems().isEmpty());
    // What a message needs to say where to change a value.
    QCOMPARE(settings.fileName, ini.fileName());
    QCOMPARE(settings.fromEnvironment, QStringList{u"course/host"_s});
    QCOMPARE(Settings::environmentVariableFor(u"course/pin"_s), u"TAMBERLYN_COURSE_PIN"_s);
}

void TestSettings::defaults()
{
    QTemporaryDir dir;
    const QSettings ini(dir.filePath(u"missing.ini"_s), QSettings::IniFormat);
    const Settings settings = Settings::read(ini, lookupIn({}));
    QCOMPARE(settings.courseHost, QLatin1String(Settings::DefaultCourseHost));
    QCOMPARE(settings.examHost, settings.courseHost);
    QVERIFY(settings.coursePin.isEmpty());
    QVERIFY(settings.problems().isEmpty());
}

void TestSettings::courseHost_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("usable");

    QTest::newRow("plain") << u"course.example"_s << true;
    QTest::newRow("with port") << u"127.0.0.1:8443"_s << true;
    QTest::newRow("IPv6") << u"[::1]:8443"_s << true;
    QTest::newRow("mod") << u"modern-learning.example"_s << false;
    QTest::newRow("obj") << u"objects.example"_s << false;
    QTest::newRow("kqprac") << u"kqprac.example"_s << false;
    QTest::newRow("contents page name") << u"kqd.vxp.example"_s << false;
    QTest::newRow("ends in kq") << u"cdn.kq"_s << false;
    QTest::newRow("kq with a port is fine") << u"cdn.kq:443"_s << true;
    // The browser reports the host in lower case, and the handler searches
    // what it reports.
    QTest::newRow("obj in capitals") << u"Objects.example"_s << false;
    QTest::newRow("ends in KQ") << u"cdn.KQ"_s << false;
    QTest::newRow("capitals elsewhere are fine") << u"Course.Example:8443"_s << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("path") << u"course.example/x"_s << false;
    QTest::newRow("user info") << u"me@course.example"_s << false;
    QTest::newRow("space") << u"course example"_s << false;
    QTest::newRow("bad port") << u"course.example:99999"_s << false;
}

void TestSettings::courseHost()
{
    QFETCH(QString, host);
    QFETCH(bool, usable);
    QCOMPARE(courseHostProblem(host).isEmpty(), usable);
    Settings settings;
    settings.courseHost = host;
    settings.examHost = u"exams.example"_s;
    QCOMPARE(settings.problems().isEmpty(), usable);
}

void TestSettings::malformedPinIsAProblem()
{
    Settings settings;
    settings.courseHost = settings.examHost = u"course.example"_s;
    settings.coursePin = u"AB:CD"_s;
    const QStringList problems = settings.problems();
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems.first().contains(u"AB:CD"_s));
}

void TestSettings::courseTimeout_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("usable");

    QTest::newRow("unset") << QString() << 30 << true;
    QTest::newRow("shortest") << u"1"_s << 1 << true;
    QTest::newRow("longest") << u"600"_s << 600 << true;
    QTest::newRow("zero") << u"0"_s << 30 << false;
    QTest::newRow("negative") << u"-5"_s << 30 << false;
    QTest::newRow("too long") << u"601"_s << 30 << false;
    QTest::newRow("fraction") << u"2.5"_s << 30 << false;
    QTest::newRow("words") << u"soon"_s << 30 << false;
}

void TestSettings::courseTimeout()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    QFETCH(bool, usable);
    QTemporaryDir dir;
    const QSettings ini(dir.filePath(u"missing.ini"_s), QSettings::IniFormat);
    const Settings settings = Settings::read(ini, lookupIn({{u"TAMBERLYN_COURSE_TIMEOUT"_s, text}}));
    QCOMPARE(settings.firstPageWait().count(), seconds);
    QCOMPARE(settings.problems().isEmpty(), usable);
    if (!usable)
        QVERIFY(settings.problems().first().contains(text));
}

// The zoom is the one value the viewer writes: at once, so a run that ends
// by a crash keeps it, and into its own view-state file, so the settings
// file stays as its author wrote it. The learner's level comes before the
// file's, the environment before both; an unusable value never stops the start.
void TestSettings::zoomIsWrittenAtOnceAndReadBack()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"Tamberlyn.ini"_s);
    const QString viewFile = dir.filePath(u"Tamberlyn-view.ini"_s);
    QSettings ini(file, QSettings::IniFormat);
    ini.setValue(u"course/host"_s, u"course.example"_s);
    ini.setValue(u"view/zoom"_s, u"150"_s);
    ini.sync();
    {
        QSettings writer(viewFile, QSettings::IniFormat);
        QCOMPARE(Settings::read(ini, lookupIn({})).zoom, u"150"_s); // nothing stored yet: the file's level
        QVERIFY(storeZoom(writer, 125));
        // On disk while the writer still lives, as the next start after a
        // crash would find it (QSettings of one process share what they hold).
        QFile onDisk(viewFile);
        QVERIFY(onDisk.open(QIODevice::ReadOnly));
        QVERIFY(onDisk.readAll().contains("[view]\nzoom=125"));
    }
    const QSettings viewState(viewFile, QSettings::IniFormat);
    Settings settings = Settings::read(ini, lookupIn({}));
    settings.takeViewState(viewState);
    QCOMPARE(settings.zoom, u"125"_s);
    QCOMPARE(settings.courseHost, u"course.example"_s); // the rest stays
    Settings overridden = Settings::read(ini, lookupIn({{u"TAMBERLYN_ZOOM"_s, u"200"_s}}));
    overridden.takeViewState(viewState);
    QCOMPARE(overridden.zoom, u"200"_s);

    ini.setValue(u"view/zoom"_s, u"huge"_s);
    QVERIFY(Settings::read(ini, lookupIn({})).problems().isEmpty());

    // A folder that cannot be made (a file stands in its place) says so.
    QFile(dir.filePath(u"config"_s)).open(QIODevice::WriteOnly);
    QSettings nowhere(dir.filePath(u"config/Tamberlyn-view.ini"_s), QSettings::IniFormat);
    QVERIFY(!storeZoom(nowhere, 125));
}

// The look the learner chose goes where the zoom goes, beside it, and is
// read back before the settings file's; the environment wins over both.
void TestSettings::lookIsKeptLikeTheZoom()
{
    QTemporaryDir dir;
    QSettings ini(dir.filePath(u"Tamberlyn.ini"_s), QSettings::IniFormat);
    ini.setValue(u"view/look"_s, u"dark"_s);
    ini.sync();
    const QString viewFile = dir.filePath(u"Tamberlyn-view.ini"_s);
    QCOMPARE(Settings::read(ini, lookupIn({})).look, u"dark"_s);
    {
        QSettings writer(viewFile, QSettings::IniFormat);
        QVERIFY(storeZoom(writer, 150));
        QVERIFY(storeLook(writer, u"contrast"_s));
    }
    const QSettings viewState(viewFile, QSettings::IniFormat);
    Settings settings = Settings::read(ini, lookupIn({}));
    settings.takeViewState(viewState);
    QCOMPARE(settings.look, u"contrast"_s);
    QCOMPARE(settings.zoom, u"150"_s); // the zoom beside it is kept
    Settings overridden = Settings::read(ini, lookupIn({{u"TAMBERLYN_LOOK"_s, u"light"_s}}));
    overridden.takeViewState(viewState);
    QCOMPARE(overridden.look, u"light"_s);
    QCOMPARE(overridden.zoom, u"150"_s); // only the look came from the environment
}

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"
