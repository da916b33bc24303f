#pragma once

#include <QString>

#include <functional>

namespace Tamberlyn::Shell {

using EnvironmentLookup = std::function<QString(const QString &name)>;

// The program's folders: where simulators are installed ("Program Files")
// and the per-user data folder DornDir that holds the history file. DornDir
// always ends with the platform's folder separator.
struct Folders
{
    QString programFiles;
    QString appData;
    QString dornDir;
};

// The Windows rules: "ProgramFiles(x86)", then "ProgramFiles", then
// "C:\Program Files"; DornDir = APPDATA + "\Marrowick\KQ\".
Folders windowsFolders(const EnvironmentLookup &env);

// The Linux mapping: the application-data folder is $XDG_DATA_HOME (default
// ~/.local/share), Program Files is the configured folder (default /opt);
// DornDir = data folder + "/Marrowick/KQ/".
Folders linuxFolders(const EnvironmentLookup &env, const QString &configuredProgramFiles);

} // namespace Tamberlyn::Shell
