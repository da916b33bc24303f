#include "platform/qt/desktoppreferencereader.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Tamberlyn::Platform;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// A settings portal as desktops run one: org.freedesktop.portal.Settings
// with Read, which answers a value inside a value. `silent` keeps every
// question waiting, as a portal that is still starting does.
class FakePortal final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    QMap<QString, uint> values;
    bool silent = false;

public slots:
    QDBusVariant Read(const QString &settingsNamespace, const QString &key)
    {
        if (silent) {
            // Never answered.
            setDelayedReply(true);
            return {};
        }
        const QString name = settingsNamespace + u'/' + key;
        if (!values.contains(name)) {
            sendErrorReply(u"org.freedesktop.portal.Error.NotFound"_s, u"Requested setting not found"_s);
            return {};
        }
        return QDBusVariant(QVariant::fromValue(QDBusVariant(values.value(name))));
    }
};

} // namespace

// The desktop's light/dark preference as the viewer reads it: the settings
// portal on a private session bus of the test's own (a real dbus-daemon),
// answering, silent or absent; and GTK's settings file.
class TestDesktopPreference final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void portalAnswers();
    void noPortalOnTheBus();
    void silentPortalDoesNotHoldTheStart();
    void gtkSettingsFile();

private:
    QProcess m_bus;
    QString m_address;
    FakePortal m_portal;
};

void TestDesktopPreference::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed");
    m_bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    QVERIFY(m_bus.waitForReadyRead(10000));
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
}

void TestDesktopPreference::cleanupTestCase()
{
    if (m_bus.state() == QProcess::Running) {
        m_bus.terminate();
        m_bus.waitForFinished(5000);
    }
}

void TestDesktopPreference::portalAnswers()
{
    QDBusConnection service = QDBusConnection::connectToBus(m_address, u"portal"_s);
    QVERIFY(service.isConnected());
    QVERIFY(service.registerService(u"org.freedesktop.portal.Desktop"_s));
    QVERIFY(service.registerObject(u"/org/freedesktop/portal/desktop"_s, &m_portal, QDBusConnection::ExportAllSlots));
    m_portal.values = {{u"org.freedesktop.appearance/color-scheme"_s, 1u}};

    // The portal answers on the service's own connection, while the
    // question waits in this thread: the answer has to come from an event
    // loop, so the reader runs in a thread of its own.
    std::optional<uint> scheme;
    std::optional<uint> contrast;
    QThread *asker = QThread::create([&] {
        scheme = readPortalSetting(m_address, u"org.freedesktop.appearance"_s, u"color-scheme"_s, 5s);
        contrast = readPortalSetting(m_address, u"org.freedesktop.appearance"_s, u"contrast"_s, 5s);
    });
    asker->start();
    QVERIFY(QTest::qWaitFor([asker] { return asker->isFinished(); }, 20000));
    delete asker;
    QCOMPARE(scheme, std::optional<uint>(1u));
    QCOMPARE(contrast, std::nullopt); // a portal too old to know the setting

    service.unregisterObject(u"/org/freedesktop/portal/desktop"_s);
    service.unregisterService(u"org.freedesktop.portal.Desktop"_s);
    QDBusConnection::disconnectFromBus(u"portal"_s);
}

void TestDesktopPreference::noPortalOnTheBus()
{
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(readPortalSetting(m_address, u"org.freedesktop.appearance"_s, u"color-scheme"_s, 5s), std::nullopt);
    // The bus says at once that nobody owns the name.
    QVERIFY(clock.elapsed() < 4000);
    // And a bus that is not there at all.
    QCOMPARE(readPortalSetting(u"unix:path=/nonexistent/bus"_s, u"org.freedesktop.appearance"_s,
                               u"color-scheme"_s, 5s),
             std::nullopt);
}

void TestDesktopPreference::silentPortalDoesNotHoldTheStart()
{
    QDBusConnection service = QDBusConnection::connectToBus(m_address, u"silent"_s);
    QVERIFY(service.registerService(u"org.freedesktop.portal.Desktop"_s));
    QVERIFY(service.registerObject(u"/org/freedesktop/portal/desktop"_s, &m_portal, QDBusConnection::ExportAllSlots));
    m_portal.silent = true;
    std::optional<uint> scheme{99u};
    QElapsedTimer clock;
    QThread *asker = QThread::create([&] {
        clock.start();
        scheme = readPortalSetting(m_address, u"org.freedesktop.appearance"_s, u"color-scheme"_s, 300ms);
    });
    asker->start();
    QVERIFY(QTest::qWaitFor([asker] { return asker->isFinished(); }, 20000));
    delete asker;
    QCOMPARE(scheme, std::nullopt);
    // The wait given, not the bus's own 25 seconds.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    m_portal.silent = false;
    service.unregisterObject(u"/org/freedesktop/portal/desktop"_s);
    service.unregisterService(u"org.freedesktop.portal.Desktop"_s);
    QDBusConnection::disconnectFromBus(u"silent"_s);
}

void TestDesktopPreference::gtkSettingsFile()
{
    QTemporaryDir config;
    QVERIFY(QDir(config.path()).mkpath(u"gtk-3.0"_s));
    QVERIFY(QDir(config.path()).mkpath(u"gtk-4.0"_s));
    const auto write = [&config](const QString &name, const QByteArray &text) {
        QFile file(config.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    QVERIFY(write(u"gtk-3.0/settings.ini"_s, "[Settings]\ngtk-theme-name=Adwaita-dark\n"));
    qputenv("DBUS_SESSION_BUS_ADDRESS", "");
    qputenv("XDG_RUNTIME_DIR", config.path().toUtf8()); // no bus there
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::black);
    DesktopPreference found = readDesktopPreference(config.path(), palette, 100ms);
    QCOMPARE(found.portalColorScheme, std::nullopt);
    QVERIFY(found.gtkSettings.contains(u"Adwaita-dark"_s));
    QCOMPARE(found.qtWindow, QColor(Qt::black));
    // GTK 4's file comes first.
    QVERIFY(write(u"gtk-4.0/settings.ini"_s, "[Settings]\ngtk-theme-name=Adwaita\n"));
    found = readDesktopPreference(config.path(), palette, 100ms);
    QVERIFY(found.gtkSettings.contains(u"gtk-theme-name=Adwaita\n"_s));
}

QTEST_GUILESS_MAIN(TestDesktopPreference)
#include "tst_desktoppreference.moc"
