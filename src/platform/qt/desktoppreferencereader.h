#pragma once

#include "platform/desktoppreference.h"

#include <QPalette>
#include <QString>

#include <chrono>

namespace Tamberlyn::Platform {

// Asks the desktop for its light/dark preference: the settings portal on the
// session bus (each question given at most `portalWait`; a desktop without a
// session bus is not asked), GTK's theme variable and settings file under
// `configHome`, and the Qt platform theme's `palette`.
DesktopPreference readDesktopPreference(const QString &configHome, const QPalette &palette,
                                        std::chrono::milliseconds portalWait);

// The portal's answer to one setting, or nothing when it gives none within
// `wait`: no portal, no such setting, or no answer in time. Read answers a
// value inside a value; ReadOne, of newer portals, the value alone; both
// are understood.
std::optional<uint> readPortalSetting(const QString &busAddress, const QString &settingsNamespace,
                                      const QString &key, std::chrono::milliseconds wait);

} // namespace Tamberlyn::Platform
