#pragma once

#include <QColor>
#include <QString>

#include <optional>

namespace Tamberlyn::Platform {

// What the desktop says about light and dark, as found; what to make of it
// is the reading aids' business (reading/looks.h).
struct DesktopPreference
{
    // The freedesktop settings portal (org.freedesktop.appearance), when it
    // answered: color-scheme 0 no preference, 1 dark, 2 light; contrast
    // 0 no preference, 1 higher.
    std::optional<uint> portalColorScheme;
    std::optional<uint> portalContrast;
    // GTK_THEME ("Adwaita:dark"), and the learner's GTK settings file
    // (gtk-4.0 before gtk-3.0), as text.
    QString gtkThemeVariable;
    QString gtkSettings;
    // The window and text colours of the palette the Qt platform theme gave
    // before the viewer set one of its own.
    QColor qtWindow;
    QColor qtWindowText;
};

} // namespace Tamberlyn::Platform
