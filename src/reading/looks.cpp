#include "looks.h"

#include <QRegularExpression>

namespace Tamberlyn::Reading {

namespace {

constexpr uint PortalDark = 1;
constexpr uint PortalLight = 2;
constexpr uint PortalHigherContrast = 1;

// "Adwaita-dark", "Adwaita:dark", "Breeze-Dark", "HighContrast",
// "HighContrastInverse", "high-contrast".
std::optional<Look> lookOfThemeName(const QString &theme)
{
    const QString name = theme.trimmed().toLower();
    if (name.isEmpty())
        return std::nullopt;
    if (name.contains(QLatin1String("highcontrast")) || name.contains(QLatin1String("high-contrast"))
        || name.contains(QLatin1String("high contrast")))
        return Look::HighContrast;
    static const QRegularExpression dark(QStringLiteral("(^|[^a-z])dark([^a-z]|$)"));
    return name.contains(dark) ? Look::Dark : Look::Light;
}

// The value of `key` in the [Settings] group of a GTK settings file; the
// last one wins, as in GTK.
QString gtkSetting(const QString &settings, const QString &key)
{
    QString value;
    bool inSettings = false;
    for (const QString &raw : settings.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSettings = line.compare(QLatin1String("[Settings]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inSettings || equals < 0 || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.left(equals).trimmed() == key)
            value = line.mid(equals + 1).trimmed();
    }
    return value;
}

bool isTrue(const QString &value)
{
    return value == QLatin1String("1") || value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString lookName(Look look)
{
    switch (look) {
    case Look::Dark:
        return QStringLiteral("dark");
    case Look::HighContrast:
        return QStringLiteral("contrast");
    case Look::Light:
        break;
    }
    return QStringLiteral("light");
}

QString lookCaption(Look look)
{
    switch (look) {
    case Look::Dark:
        return QStringLiteral("Dark");
    case Look::HighContrast:
        return QStringLiteral("High contrast");
    case Look::Light:
        break;
    }
    return QStringLiteral("Light");
}

std::optional<Look> lookFromName(const QString &name)
{
    QString plain = name.trimmed().toLower();
    plain.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('_'));
    if (plain == QLatin1String("light"))
        return Look::Light;
    if (plain == QLatin1String("dark"))
        return Look::Dark;
    if (plain == QLatin1String("contrast") || plain == QLatin1String("highcontrast"))
        return Look::HighContrast;
    return std::nullopt;
}

Look nextLook(Look look)
{
    switch (look) {
    case Look::Light:
        return Look::Dark;
    case Look::Dark:
        return Look::HighContrast;
    case Look::HighContrast:
        break;
    }
    return Look::Light;
}

bool isLookKey(int key, Qt::KeyboardModifiers modifiers)
{
    // The keypad flag changes nothing; Alt and Meta make another key.
    const Qt::KeyboardModifiers held = modifiers & ~Qt::KeypadModifier;
    return key == Qt::Key_L && held == (Qt::ControlModifier | Qt::ShiftModifier);
}

DesktopLook desktopLook(const Platform::DesktopPreference &desktop)
{
    if (desktop.portalContrast == PortalHigherContrast)
        return {Look::HighContrast, QStringLiteral("the settings portal's contrast")};
    if (desktop.portalColorScheme == PortalDark)
        return {Look::Dark, QStringLiteral("the settings portal's colour scheme")};
    if (desktop.portalColorScheme == PortalLight)
        return {Look::Light, QStringLiteral("the settings portal's colour scheme")};
    if (const auto look = lookOfThemeName(desktop.gtkThemeVariable))
        return {*look, QStringLiteral("GTK_THEME")};
    const QString preferDark = gtkSetting(desktop.gtkSettings, QStringLiteral("gtk-application-prefer-dark-theme"));
    const auto theme = lookOfThemeName(gtkSetting(desktop.gtkSettings, QStringLiteral("gtk-theme-name")));
    if (theme == Look::HighContrast)
        return {Look::HighContrast, QStringLiteral("the GTK theme")};
    if (isTrue(preferDark) || theme == Look::Dark)
        return {Look::Dark, QStringLiteral("the GTK theme")};
    if (theme)
        return {Look::Light, QStringLiteral("the GTK theme")};
    // A dark Qt theme paints its windows darker than their text.
    if (desktop.qtWindow.isValid() && desktop.qtWindowText.isValid()
        && desktop.qtWindow.lightnessF() < desktop.qtWindowText.lightnessF())
        return {Look::Dark, QStringLiteral("the Qt theme")};
    return {Look::Light, QStringLiteral("no preference found")};
}

StartingLook lookFromSetting(const QString &setting)
{
    StartingLook chosen;
    const QString value = setting.trimmed();
    if (value.isEmpty() || value.compare(QLatin1String("desktop"), Qt::CaseInsensitive) == 0)
        return chosen;
    if (const auto look = lookFromName(value)) {
        chosen.look = *look;
        chosen.reason = QStringLiteral("the setting \"%1\"").arg(value);
    } else {
        chosen.problem = QStringLiteral("\"%1\" is no look (light, dark or contrast); the desktop's is taken").arg(value);
    }
    return chosen;
}

} // namespace Tamberlyn::Reading
