#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace Tamberlyn::Platform {
class Dialogs;
}

namespace Tamberlyn::Shell {

// FileExists and FolderExists: a listing error is not taken as "missing"
// but put to the learner as a retry question.
class FileChecks final
{
public:
    enum class Listing { Found, Missing, Failed };
    using Lister = std::function<Listing(const QString &path, bool folder)>;

    // `endProgram` is EndVK: it does not return.
    FileChecks(Platform::Dialogs &dialogs, std::function<void()> endProgram,
               Lister lister = statLister);

    void setOwner(QWidget *owner) { m_owner = owner; }

    // True for an existing file (hidden ones included), never for a folder.
    // On a listing error asks "Please run Setup on the USB": OK retries,
    // Cancel ends the program.
    bool FileExists(const QString &path);
    // True for an existing folder; false for an empty path. On a listing
    // error asks "File Error": OK retries, Cancel gives false.
    bool FolderExists(const QString &path);

    static Listing statLister(const QString &path, bool folder);

private:
    Platform::Dialogs &m_dialogs;
    std::function<void()> m_endProgram;
    Lister m_lister;
    QWidget *m_owner = nullptr;
};

} // namespace Tamberlyn::Shell
