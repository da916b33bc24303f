#pragma once

#include "platform/desktoppreference.h"

#include <QString>
#include <Qt>

#include <array>
#include <optional>

namespace Tamberlyn::Reading {

// The looks of the course page and the windows around it: light (the
// course as it was made), dark, and high contrast (black, white and one
// strong colour for links, for low vision).
enum class Look { Light, Dark, HighContrast };

inline constexpr std::array<Look, 3> Looks{Look::Light, Look::Dark, Look::HighContrast};

// The look's name in the settings and the view-state file, and to the page
// scripts: "light", "dark", "contrast".
QString lookName(Look look);
// As the learner reads it: "Light", "Dark", "High contrast".
QString lookCaption(Look look);
// A name as a learner or an administrator may write it, letter case and
// spaces aside ("High contrast", "high-contrast" and "contrast" alike).
std::optional<Look> lookFromName(const QString &name);
// Light, then dark, then high contrast, then light again.
Look nextLook(Look look);

// Ctrl+Shift+L, which cycles the looks; no key of the course or of the
// other reading aids.
bool isLookKey(int key, Qt::KeyboardModifiers modifiers);

// What the desktop prefers, and which of its answers said so. The settings
// portal speaks first where it answers with a preference; "no preference"
// leaves it to the GTK theme (GTK_THEME, then the GTK settings file), then
// to the Qt theme's palette. A high-contrast desktop gets high contrast.
struct DesktopLook
{
    Look look = Look::Light;
    QString source;
};
DesktopLook desktopLook(const Platform::DesktopPreference &desktop);

// The look a run starts in: the value given (the environment, the learner's
// own choice in the view-state file, or the settings file, in that order:
// see shell/settings.h) when it names a look; otherwise the desktop's.
// `desktop` is asked only when needed. A value that names no look is left
// aside with the reason in `problem`.
struct StartingLook
{
    Look look = Look::Light;
    QString reason;
    QString problem;
};
template<typename DesktopQuestion>
StartingLook startingLook(const QString &setting, DesktopQuestion &&desktop);

StartingLook lookFromSetting(const QString &setting);

template<typename DesktopQuestion>
StartingLook startingLook(const QString &setting, DesktopQuestion &&desktop)
{
    StartingLook chosen = lookFromSetting(setting);
    if (!chosen.reason.isEmpty())
        return chosen;
    const DesktopLook fromDesktop = desktopLook(desktop());
    chosen.look = fromDesktop.look;
    chosen.reason = QStringLiteral("the desktop's preference (%1)").arg(fromDesktop.source);
    return chosen;
}

} // namespace Tamberlyn::Reading
