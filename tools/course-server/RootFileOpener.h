#pragma once

#include "platform/posix/uniquefd.h"

#include <QString>
#include <QStringList>

// Opens files below the web root through a handle on the root folder and
// never follows a symbolic link on the way, not even one swapped in between
// two requests or half-way through one: whatever the folder holds at the
// moment of the open, nothing outside the root can be reached. A link that
// points inside is refused as well, because nothing stops it from being
// pointed elsewhere a moment later.
//
// Where the kernel has openat2() (Linux 5.6), it checks this itself
// (RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS). Otherwise the path is walked one
// name at a time from the root handle with O_NOFOLLOW, each folder held open
// while the next name is looked up in it. Both answer alike: a link anywhere
// on the path is ELOOP.
class RootFileOpener final
{
    Q_DISABLE_COPY_MOVE(RootFileOpener)

public:
    enum class Method {
        Automatic,  // openat2 when the kernel has it, else name by name
        NameByName, // always the O_NOFOLLOW walk (the tests force it)
    };

    struct Opened
    {
        Tamberlyn::Platform::UniqueFd fd;
        int error = 0; // errno when fd is not valid
    };

    explicit RootFileOpener(Method method = Method::Automatic);

    // Takes a handle on the root folder (its own path may contain links: the
    // operator chose it). False with errorString() when that fails.
    bool openRoot(const QString &path);
    QString errorString() const { return m_error; }
    // Whether the kernel does the checking (openat2).
    bool kernelChecked() const { return m_kernelChecked; }

    // Opens the path made of names below the root, read-only and without
    // blocking (a FIFO would otherwise hang the server until a writer came).
    // No name may be empty, ".", ".." or contain '/'; no names is the root.
    Opened open(const QStringList &names) const;
    // Opens one name inside a folder already opened by open().
    Opened openIn(int directoryFd, const QString &name) const;

private:
    Opened openBelow(int directoryFd, const QStringList &names) const;
    Opened walkNameByName(int directoryFd, const QStringList &names) const;

    Method m_method;
    Tamberlyn::Platform::UniqueFd m_root;
    bool m_kernelChecked = false;
    QString m_error;
};
