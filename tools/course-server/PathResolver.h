#pragma once

#include "platform/posix/uniquefd.h"

#include <QString>
#include <QStringList>

class RootFileOpener;

struct ResolvedPath
{
    enum class Outcome {
        File,        // file is an open regular file below the root
        NotFound,    // nothing servable there (also: a folder without index.html)
        Refused,     // a symbolic link on the way, or no permission
        Unavailable, // the server is out of file handles or memory for now
    };

    Outcome outcome = Outcome::NotFound;
    Tamberlyn::Platform::UniqueFd file;
    qint64 size = 0;
    QString name;  // the served file's own name, for its content type
    int error = 0; // errno behind an outcome other than File
};

// Opens what decoded path segments name below the root. A folder stands for
// its index.html. What is served is the file that was opened, checked on its
// open handle, so nothing can be swapped in between a check and the read.
ResolvedPath resolveInsideRoot(const RootFileOpener &root, const QStringList &segments);
