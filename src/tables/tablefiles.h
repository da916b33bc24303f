#pragma once

#include <QString>

namespace Tamberlyn::Tables {

// The two table files, which lie side by side in one folder: the viewer's
// program folder or, installed, its data folder.
inline constexpr char WordsFileName[] = "words.vxp";
inline constexpr char FilesFileName[] = "files.vxp";
// Where tamberlyn-index keeps a new pair from its commit until both files
// are in place (see IndexPairFiles).
inline constexpr char ReadyFolderName[] = ".tamberlyn-index-ready";

QString wordsFilePath(const QString &folder);
QString filesFilePath(const QString &folder);

} // namespace Tamberlyn::Tables
