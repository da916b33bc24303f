#include "platform/x11/x11session.h"

#include <QScopeGuard>
#include <QTest>

#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using Tamberlyn::Platform::SessionEnvironment;

class TestX11Session final : public QObject
{
    Q_OBJECT

private slots:
    void choosesX11WhereverWindowsMustBeFound_data();
    void choosesX11WhereverWindowsMustBeFound();
    void readsThePlatformArgument_data();
    void readsThePlatformArgument();
    void explainsAMissingXServer_data();
    void explainsAMissingXServer();
    void refusesToStartWithoutAnXServer();
};

void TestX11Session::choosesX11WhereverWindowsMustBeFound_data()
{
    QTest::addColumn<QByteArray>("qpaPlatform");
    QTest::addColumn<QByteArray>("platformArgument");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("sessionType");
    QTest::addColumn<QByteArray>("chosen");   // what goes into QT_QPA_PLATFORM, empty for nothing
    QTest::addColumn<bool>("needsXServer");

    QTest::newRow("X11 session") << QByteArray() << QByteArray() << QByteArray() << QByteArray("x11")
                                 << QByteArray() << true;
    QTest::newRow("no session at all") << QByteArray() << QByteArray() << QByteArray() << QByteArray()
                                       << QByteArray() << true;
    QTest::newRow("Wayland session") << QByteArray() << QByteArray() << QByteArray("wayland-0")
                                     << QByteArray("wayland") << QByteArray("xcb") << true;
    QTest::newRow("Wayland display alone") << QByteArray() << QByteArray() << QByteArray("wayland-1")
                                           << QByteArray() << QByteArray("xcb") << true;
    QTest::newRow("Wayland session type alone") << QByteArray() << QByteArray() << QByteArray()
                                                << QByteArray("wayland") << QByteArray("xcb") << true;
    QTest::newRow("the user's wayland wins") << QByteArray("wayland") << QByteArray() << QByteArray("wayland-0")
                                             << QByteArray("wayland") << QByteArray() << false;
    QTest::newRow("the user's list, wayland first")
        << QByteArray("wayland;xcb") << QByteArray() << QByteArray("wayland-0") << QByteArray("wayland")
        << QByteArray() << false;
    QTest::newRow("the user's xcb with options") << QByteArray("xcb:nograb") << QByteArray()
                                                 << QByteArray("wayland-0") << QByteArray("wayland")
                                                 << QByteArray() << true;
    QTest::newRow("offscreen needs no server") << QByteArray("offscreen") << QByteArray() << QByteArray()
                                               << QByteArray() << QByteArray() << false;
    QTest::newRow("the argument beats the environment")
        << QByteArray("xcb") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray("wayland")
        << QByteArray() << false;
    QTest::newRow("xcb as the argument") << QByteArray() << QByteArray("xcb") << QByteArray("wayland-0")
                                         << QByteArray("wayland") << QByteArray() << true;
}

void TestX11Session::choosesX11WhereverWindowsMustBeFound()
{
    QFETCH(QByteArray, qpaPlatform);
    QFETCH(QByteArray, platformArgument);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, sessionType);
    QFETCH(QByteArray, chosen);
    QFETCH(bool, needsXServer);

    const auto choice = Tamberlyn::Platform::choosePlatform(
        {qpaPlatform, platformArgument, waylandDisplay, sessionType, QByteArray(":0")});
    QCOMPARE(choice.qpaPlatform, chosen);
    QCOMPARE(choice.needsXServer, needsXServer);
}

void TestX11Session::readsThePlatformArgument_data()
{
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<QByteArray>("platform");
    QTest::newRow("none") << QByteArrayList{"tamberlyn", "AMP.CKT"} << QByteArray();
    QTest::newRow("single dash") << QByteArrayList{"tamberlyn", "-platform", "wayland"} << QByteArray("wayland");
    QTest::newRow("double dash, after a mode")
        << QByteArrayList{"tamberlyn", "/POPJPG=a.jpg", "--platform", "xcb"} << QByteArray("xcb");
    QTest::newRow("the last one counts")
        << QByteArrayList{"tamberlyn", "-platform", "xcb", "-platform", "offscreen"} << QByteArray("offscreen");
    QTest::newRow("no value after it") << QByteArrayList{"tamberlyn", "-platform"} << QByteArray();
    QTest::newRow("the program's own name") << QByteArrayList{"-platform", "wayland"} << QByteArray();
}

void TestX11Session::readsThePlatformArgument()
{
    QFETCH(QByteArrayList, arguments);
    QFETCH(QByteArray, platform);
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    QCOMPARE(SessionEnvironment::ofProcess(int(arguments.size()), argv.data()).platformArgument, platform);
}

void TestX11Session::explainsAMissingXServer_data()
{
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<QStringList>("mentions");   // empty: no problem at all

    QTest::newRow("reachable") << QByteArray(":0") << QByteArray("wayland-0") << true << QStringList();
    QTest::newRow("no display") << QByteArray() << QByteArray() << false
                                << QStringList{u"DISPLAY is not set"_s};
    QTest::newRow("no Xwayland") << QByteArray() << QByteArray("wayland-0") << false
                                 << QStringList{u"DISPLAY is not set"_s, u"Xwayland"_s,
                                                u"QT_QPA_PLATFORM=wayland"_s};
    QTest::newRow("unreachable display") << QByteArray(":7") << QByteArray() << false
                                         << QStringList{u"cannot reach the X server on DISPLAY=:7"_s};
}

void TestX11Session::explainsAMissingXServer()
{
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(bool, reachable);
    QFETCH(QStringList, mentions);
    const QString problem = Tamberlyn::Platform::missingXServerProblem(
        {QByteArray(), QByteArray(), waylandDisplay, QByteArray(), display}, reachable);
    QCOMPARE(problem.isEmpty(), mentions.isEmpty());
    for (const QString &mention : mentions)
        QVERIFY2(problem.contains(mention), qPrintable(problem));
    // Telling a user without Wayland to set a Wayland platform would mislead.
    if (waylandDisplay.isEmpty())
        QVERIFY2(!problem.contains(u"Xwayland"_s), qPrintable(problem));
}

void TestX11Session::refusesToStartWithoutAnXServer()
{
    // The process's own environment, as main() meets it; put back afterwards.
    const QByteArrayList names{"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DISPLAY"};
    QList<std::optional<QByteArray>> saved;
    for (const QByteArray &name : names)
        saved.append(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    const auto restore = qScopeGuard([&] {
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (saved.at(i))
                qputenv(names.at(i), *saved.at(i));
            else
                qunsetenv(names.at(i));
        }
    });
    char program[] = "tamberlyn";
    char *argv[] = {program, nullptr};

    // A Wayland session whose Xwayland does not answer: X11 is still chosen,
    // for the programs we start too, but the start-up stops.
    qunsetenv("QT_QPA_PLATFORM");
    qputenv("WAYLAND_DISPLAY", "wayland-test");
    qunsetenv("XDG_SESSION_TYPE");
    qputenv("DISPLAY", ":65000");
    QVERIFY(!Tamberlyn::Platform::preferX11Session("tamberlyn", 1, argv));
    QCOMPARE(qgetenv("QT_QPA_PLATFORM"), QByteArray("xcb"));

    // A platform without windows on any server needs none.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("DISPLAY");
    QVERIFY(Tamberlyn::Platform::preferX11Session("tamberlyn", 1, argv));
    QCOMPARE(qgetenv("QT_QPA_PLATFORM"), QByteArray("offscreen"));
}

QTEST_GUILESS_MAIN(TestX11Session)
#include "tst_x11session.moc"
