#include "filechecks.h"

#include "platform/dialogs.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>

namespace Tamberlyn::Shell {

using Platform::Dialogs;

FileChecks::FileChecks(Dialogs &dialogs, std::function<void()> endProgram, Lister lister)
    : m_dialogs(dialogs)
    , m_endProgram(std::move(endProgram))
    , m_lister(std::move(lister))
{
}

bool FileChecks::FileExists(const QString &path)
{
    for (;;) {
        const Listing listing = m_lister(path, false);
        if (listing != Listing::Failed)
            return listing == Listing::Found;
        const Dialogs::Answer answer = m_dialogs.ask(
            m_owner, {QStringLiteral("Please run Setup on the USB"), QStringLiteral("Tamberlyn"),
                      Dialogs::Icon::Warning, Dialogs::Buttons::OkCancel, std::nullopt});
        if (answer != Dialogs::Answer::Ok) {
            m_endProgram();
            return false; // only reached when EndVK is faked
        }
    }
}

bool FileChecks::FolderExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    for (;;) {
        const Listing listing = m_lister(path, true);
        if (listing != Listing::Failed)
            return listing == Listing::Found;
        const Dialogs::Answer answer = m_dialogs.ask(
            m_owner, {QStringLiteral("File Error"), QStringLiteral("File Error"), Dialogs::Icon::Warning,
                      Dialogs::Buttons::OkCancel, std::nullopt});
        if (answer != Dialogs::Answer::Ok)
            return false;
    }
}

FileChecks::Listing FileChecks::statLister(const QString &path, bool folder)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        // A missing name, or a path through something that is not a folder,
        // is a plain "no"; anything else (no permission, I/O error) is a
        // listing that failed.
        return errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG ? Listing::Missing
                                                                            : Listing::Failed;
    }
    const bool isFolder = S_ISDIR(info.st_mode);
    return isFolder == folder ? Listing::Found : Listing::Missing;
}

} // namespace Tamberlyn::Shell
