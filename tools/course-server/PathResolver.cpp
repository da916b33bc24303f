#include "PathResolver.h"

#include "RootFileOpener.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

ResolvedPath failure(int error)
{
    ResolvedPath result;
    result.error = error;
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        result.outcome = ResolvedPath::Outcome::NotFound;
        break;
    case EMFILE:
    case ENFILE:
    case ENOMEM:
    case EAGAIN:
        result.outcome = ResolvedPath::Outcome::Unavailable;
        break;
    default: // ELOOP (a link), EACCES, EPERM, EXDEV, ...
        result.outcome = ResolvedPath::Outcome::Refused;
        break;
    }
    return result;
}

} // namespace

ResolvedPath resolveInsideRoot(const RootFileOpener &root, const QStringList &segments)
{
    RootFileOpener::Opened opened = root.open(segments);
    if (!opened.fd.isValid())
        return failure(opened.error);
    struct stat info = {};
    if (::fstat(opened.fd.get(), &info) != 0)
        return failure(errno);

    QString name = segments.isEmpty() ? QString() : segments.last();
    if (S_ISDIR(info.st_mode)) {
        // Looked up inside the folder that was just opened, not by path
        // again; index.html may not be a link either.
        opened = root.openIn(opened.fd.get(), QStringLiteral("index.html"));
        if (!opened.fd.isValid())
            return failure(opened.error);
        if (::fstat(opened.fd.get(), &info) != 0)
            return failure(errno);
        name = QStringLiteral("index.html");
    }
    // Only regular files: a FIFO or device node would block or never end.
    if (!S_ISREG(info.st_mode))
        return failure(ENOENT);

    ResolvedPath result;
    result.outcome = ResolvedPath::Outcome::File;
    result.file = std::move(opened.fd);
    result.size = info.st_size;
    result.name = name;
    return result;
}
