#include "coursepages.h"

#include "courseindex.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace Tamberlyn::IndexTool {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// What a name in a course folder is, never looking through a link.
enum class Kind { Missing, Folder, Link, PlainFile, Other, Unknown };

Kind kindOf(int folderFd, const QByteArray &name)
{
    struct stat info {};
    if (::fstatat(folderFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Kind::Missing : Kind::Unknown;
    if (S_ISLNK(info.st_mode))
        return Kind::Link;
    if (S_ISDIR(info.st_mode))
        return Kind::Folder;
    return S_ISREG(info.st_mode) ? Kind::PlainFile : Kind::Other;
}

QString whyNotAPage(Kind kind)
{
    switch (kind) {
    case Kind::Link:
        return QStringLiteral("a symbolic link: not followed (the course server does not serve links either)");
    case Kind::Folder:
        return QStringLiteral("a folder, not a page");
    default:
        return QStringLiteral("not a plain file");
    }
}

} // namespace

bool CoursePages::open(const QString &courseDir, QString *error)
{
    m_pages.clear();
    m_skipped.clear();
    m_folder = courseDir;
    // The course folder itself is the author's own choice, and may be a
    // link; below it nothing is followed.
    m_folderFd.reset(::open(QFile::encodeName(courseDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_folderFd.isValid()) {
        *error = QStringLiteral("cannot open %1: %2").arg(courseDir, systemError());
        return false;
    }
    // COURSE_DIR/kq_cbt/kq when the course is a web root.
    QString below = courseDir;
    Platform::UniqueFd descend;
    for (const char *step : {"kq_cbt", "kq"}) {
        const int from = descend.isValid() ? descend.get() : m_folderFd.get();
        const Kind kind = kindOf(from, step);
        if (kind == Kind::Missing || kind == Kind::PlainFile || kind == Kind::Other) {
            descend.reset();
            break; // no web root: the pages lie in the course folder itself
        }
        below = QDir(below).filePath(QLatin1String(step));
        if (kind == Kind::Link) {
            *error = QStringLiteral("%1 is a symbolic link: the build does not read through links (the course "
                                    "server does not serve through them either)")
                         .arg(below);
            return false;
        }
        Platform::UniqueFd next(::openat(from, step, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.isValid()) {
            *error = QStringLiteral("cannot open %1: %2").arg(below, systemError());
            return false;
        }
        descend = std::move(next);
    }
    if (descend.isValid()) {
        m_folderFd = std::move(descend);
        m_folder = below;
    }

    // The listing reads a copy of the handle, which closedir() closes.
    const int listFd = ::fcntl(m_folderFd.get(), F_DUPFD_CLOEXEC, 0);
    DIR *listing = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (listing == nullptr) {
        if (listFd >= 0)
            ::close(listFd);
        *error = QStringLiteral("cannot list %1: %2").arg(m_folder, systemError());
        return false;
    }
    ::rewinddir(listing);
    errno = 0;
    while (const dirent *entry = ::readdir(listing)) {
        const QByteArray encoded(entry->d_name);
        const QString name = QFile::decodeName(encoded);
        if (!CourseIndex::isIndexedPage(name))
            continue;
        const Kind kind = kindOf(m_folderFd.get(), encoded);
        if (kind == Kind::PlainFile)
            m_pages.append(name);
        else if (kind != Kind::Missing)
            m_skipped.append({name, whyNotAPage(kind)});
    }
    const bool listed = errno == 0;
    ::closedir(listing);
    if (!listed) {
        *error = QStringLiteral("cannot list %1: %2").arg(m_folder, systemError());
        return false;
    }
    std::sort(m_pages.begin(), m_pages.end());
    std::sort(m_skipped.begin(), m_skipped.end(), [](const Skipped &a, const Skipped &b) { return a.name < b.name; });
    return true;
}

std::optional<QByteArray> CoursePages::read(const QString &name, QString *error) const
{
    const QString path = QDir(m_folder).filePath(name);
    const auto failed = [&](const QString &why) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, why);
        return std::nullopt;
    };
    // Not a link, and never waiting on a FIFO swapped in after the listing.
    const Platform::UniqueFd fd(::openat(m_folderFd.get(), QFile::encodeName(name).constData(),
                                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.isValid())
        return failed(errno == ELOOP ? QStringLiteral("it became a symbolic link") : systemError());
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return failed(systemError());
    if (!S_ISREG(info.st_mode))
        return failed(QStringLiteral("it is no longer a plain file"));
    if (info.st_size > MaxPageBytes)
        return failed(QStringLiteral("%1 bytes, more than any course page (at most %2)")
                          .arg(info.st_size)
                          .arg(MaxPageBytes));

    // Read to the end: a page cut short by an error would be indexed
    // without the words after it, and nobody would know.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > MaxPageBytes)
                return failed(QStringLiteral("it grew beyond %1 bytes while it was read").arg(MaxPageBytes));
            bytes.resize(std::min<qsizetype>(2 * used, MaxPageBytes + 1));
        }
        const ssize_t got = ::read(fd.get(), bytes.data() + used, std::size_t(bytes.size() - used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(systemError());
        if (got == 0)
            break;
        used += got;
    }
    bytes.truncate(used);
    return bytes;
}

} // namespace Tamberlyn::IndexTool
