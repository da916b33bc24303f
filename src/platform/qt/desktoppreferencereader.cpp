#include "desktoppreferencereader.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace Tamberlyn::Platform {

Q_LOGGING_CATEGORY(lcDesktop, "tamberlyn.desktop", QtWarningMsg)

namespace {

constexpr char PortalService[] = "org.freedesktop.portal.Desktop";
constexpr char PortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char PortalSettings[] = "org.freedesktop.portal.Settings";
constexpr char Appearance[] = "org.freedesktop.appearance";
// A settings file is a few lines; anything longer is no settings file.
constexpr qint64 MaximumSettingsSize = 64 * 1024;

// Where libdbus would find the session bus: the variable, else the
// user's runtime folder. Without either there is no bus to ask, and
// asking would only make libdbus try to start one.
QString sessionBusAddress()
{
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    return {};
}

std::optional<uint> unwrapped(QVariant value)
{
    // At most two wrappings: Read's value inside a value, or ReadOne's value.
    for (int depth = 0; depth < 3 && value.canConvert<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = value.toUInt(&ok);
    if (!ok || value.typeId() == QMetaType::QString)
        return std::nullopt;
    return number;
}

QString smallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaximumSettingsSize)
        return {};
    return QString::fromUtf8(file.read(MaximumSettingsSize));
}

} // namespace

std::optional<uint> readPortalSetting(const QString &busAddress, const QString &settingsNamespace,
                                      const QString &key, std::chrono::milliseconds wait)
{
    // A connection of our own, so the question never waits behind the
    // accessibility bridge's traffic on the shared one.
    const QString name = QStringLiteral("tamberlyn-desktop-preference");
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, name);
    std::optional<uint> answer;
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(PortalService), QLatin1String(PortalPath),
                                                           QLatin1String(PortalSettings), QStringLiteral("Read"));
        call << settingsNamespace << key;
        const QDBusMessage reply = bus.call(call, QDBus::Block, static_cast<int>(wait.count()));
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            answer = unwrapped(reply.arguments().constFirst());
        else
            qCInfo(lcDesktop).noquote() << "the settings portal gave no" << key << "-" << reply.errorMessage();
    }
    QDBusConnection::disconnectFromBus(name);
    return answer;
}

DesktopPreference readDesktopPreference(const QString &configHome, const QPalette &palette,
                                        std::chrono::milliseconds portalWait)
{
    DesktopPreference found;
    if (const QString bus = sessionBusAddress(); !bus.isEmpty()) {
        found.portalColorScheme = readPortalSetting(bus, QLatin1String(Appearance), QStringLiteral("color-scheme"),
                                                    portalWait);
        // A portal that did not answer the first question in time is not
        // asked the second.
        if (found.portalColorScheme)
            found.portalContrast = readPortalSetting(bus, QLatin1String(Appearance), QStringLiteral("contrast"),
                                                     portalWait);
    }
    found.gtkThemeVariable = qEnvironmentVariable("GTK_THEME");
    for (const char *version : {"gtk-4.0", "gtk-3.0"}) {
        found.gtkSettings = smallFile(QDir(configHome).filePath(QLatin1String(version) + QStringLiteral("/settings.ini")));
        if (!found.gtkSettings.isEmpty())
            break;
    }
    found.qtWindow = palette.color(QPalette::Window);
    found.qtWindowText = palette.color(QPalette::WindowText);
    return found;
}

} // namespace Tamberlyn::Platform
