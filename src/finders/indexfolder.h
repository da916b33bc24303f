#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace Tamberlyn::Finders {

// Where "words.vxp" and "files.vxp" are read from. A build, or a copy of the
// program unpacked into one folder, keeps them beside the executable; an
// installed program keeps executables and data apart (bin/ and
// share/tamberlyn/ under one prefix).

// The folders to look in, in order: the program folder, then the data
// folder reached from it by `dataFolderFromProgram`. That is relative, so an
// install moved to another prefix still finds its own index and never that
// of another install; an absolute one is taken as it is, an empty one adds
// nothing.
QStringList indexFolderCandidates(const QString &programFolder, const QString &dataFolderFromProgram);

// The first of `folders` that holds either file, or whose switch to a new
// pair was left half done with the pair in its ready folder. Both files are taken from
// that one folder, never one from each: their numbers refer to each other.
// When no folder holds either, the first one, so that a missing index
// behaves as it always has (empty tables, nothing said, and a folder that
// cannot be listed still asked about by the reader's own check).
QString indexFolder(const QStringList &folders, const std::function<bool(const QString &path)> &isFile);

} // namespace Tamberlyn::Finders
