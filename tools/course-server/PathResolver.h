#pragma once

#include <QString>
#include <QStringList>

struct ResolvedPath
{
    enum class Outcome {
        File,     // filePath is a regular file inside the root
        NotFound, // nothing servable there (also: a folder without index.html)
        Refused,  // the real path, symbolic links followed, leaves the root
    };

    Outcome outcome = Outcome::NotFound;
    QString filePath; // canonical, set for File
};

// Maps decoded path segments onto the file system below canonicalRoot (which
// must already be canonical: absolute, no symbolic links). A folder stands for
// its index.html. Symbolic links are followed, and whatever they lead to must
// still lie inside the root; this is checked on the real path, not the
// spelling, so links pointing out of the course folder are refused.
ResolvedPath resolveInsideRoot(const QString &canonicalRoot, const QStringList &segments);
