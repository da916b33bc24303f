#include "PathResolver.h"

#include <QFileInfo>

namespace {

bool isInside(const QString &canonicalPath, const QString &canonicalRoot)
{
    if (canonicalPath == canonicalRoot)
        return true;
    const QString prefix = canonicalRoot.endsWith(u'/') ? canonicalRoot : canonicalRoot + u'/';
    return canonicalPath.startsWith(prefix);
}

QString joined(const QString &root, const QStringList &segments, qsizetype count)
{
    QString path = root;
    for (qsizetype i = 0; i < count; ++i)
        path += u'/' + segments[i];
    return path;
}

// For a path that does not exist, answer as its closest existing ancestor
// would: a miss below a link that points outside is refused like the link
// itself, so the answer never tells which files exist outside the root.
ResolvedPath missing(const QString &canonicalRoot, const QStringList &segments)
{
    for (qsizetype count = segments.size() - 1; count > 0; --count) {
        const QFileInfo ancestor(joined(canonicalRoot, segments, count));
        if (ancestor.exists()) {
            if (!isInside(ancestor.canonicalFilePath(), canonicalRoot))
                return {ResolvedPath::Outcome::Refused, {}};
            break;
        }
    }
    return {ResolvedPath::Outcome::NotFound, {}};
}

ResolvedPath servable(const QFileInfo &info, const QString &canonicalRoot)
{
    if (!info.exists())
        return {ResolvedPath::Outcome::NotFound, {}};
    const QString canonical = info.canonicalFilePath();
    if (!isInside(canonical, canonicalRoot))
        return {ResolvedPath::Outcome::Refused, {}};
    // Only regular files: a FIFO or device node would block or never end.
    if (!info.isFile())
        return {ResolvedPath::Outcome::NotFound, {}};
    return {ResolvedPath::Outcome::File, canonical};
}

} // namespace

ResolvedPath resolveInsideRoot(const QString &canonicalRoot, const QStringList &segments)
{
    const QFileInfo info(joined(canonicalRoot, segments, segments.size()));
    if (!info.exists())
        return missing(canonicalRoot, segments);

    const QString canonical = info.canonicalFilePath();
    if (!isInside(canonical, canonicalRoot))
        return {ResolvedPath::Outcome::Refused, {}};
    if (info.isDir()) {
        // index.html itself may be a link, so it is checked like any file.
        return servable(QFileInfo(canonical + QStringLiteral("/index.html")), canonicalRoot);
    }
    return servable(info, canonicalRoot);
}
