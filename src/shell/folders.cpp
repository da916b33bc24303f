#include "folders.h"

namespace Tamberlyn::Shell {

Folders windowsFolders(const EnvironmentLookup &env)
{
    Folders folders;
    folders.programFiles = env(QStringLiteral("ProgramFiles(x86)"));
    if (folders.programFiles.isEmpty())
        folders.programFiles = env(QStringLiteral("ProgramFiles"));
    if (folders.programFiles.isEmpty())
        folders.programFiles = QStringLiteral("C:\\Program Files");
    folders.appData = env(QStringLiteral("APPDATA"));
    folders.dornDir = folders.appData + QStringLiteral("\\Marrowick\\KQ\\");
    return folders;
}

Folders linuxFolders(const EnvironmentLookup &env, const QString &configuredProgramFiles)
{
    Folders folders;
    folders.programFiles = configuredProgramFiles.isEmpty() ? QStringLiteral("/opt") : configuredProgramFiles;
    // The XDG rule: a relative XDG_DATA_HOME is invalid and ignored.
    folders.appData = env(QStringLiteral("XDG_DATA_HOME"));
    if (!folders.appData.startsWith(QLatin1Char('/'))) {
        const QString home = env(QStringLiteral("HOME"));
        folders.appData = home.isEmpty() ? QString() : home + QStringLiteral("/.local/share");
    }
    while (folders.appData.size() > 1 && folders.appData.endsWith(QLatin1Char('/')))
        folders.appData.chop(1);
    folders.dornDir = folders.appData + QStringLiteral("/Marrowick/KQ/");
    return folders;
}

} // namespace Tamberlyn::Shell
