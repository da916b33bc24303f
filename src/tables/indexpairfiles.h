#pragma once

#include "platform/posix/uniquefd.h"

#include <QString>

#include <chrono>

namespace Tamberlyn::Tables {

// The two table files of one folder, opened as the pair they are: the
// numbers in "words.vxp" name lines of "files.vxp", so one new file beside
// an old one lists wrong pages without a word of warning.
//
// tamberlyn-index puts a new pair in place (see tools/index) by writing it
// whole into a folder of its own, renaming that folder to ReadyFolderName
// (the commit), moving the two files out of it into place, first
// "files.vxp", then "words.vxp", and removing it; it holds an exclusive
// lock (flock) on the index folder from the commit to the end. A reader
// takes the same lock shared while it opens the two files, so it never
// sees a switch half done by a running build. A build stopped half way (a
// kill, a power cut) leaves the ready folder behind; the pair is then what
// the build committed: each file from the ready folder while it is still
// there, else from the index folder. That is the new pair whatever the
// moment of the stop, and the old pair never needs to be known.
//
// The ready folder is only taken when it is a real folder, never a link,
// and files in it only when they are plain files.
class IndexPairFiles final
{
public:
    // Waiting for a build to finish its switch: moving two files takes
    // microseconds, flushing them to disk on a slow disk a little longer.
    static constexpr std::chrono::milliseconds LockWait{5000};

    enum class Source {
        Folder, // the index folder: no switch was left half done
        Ready,  // the ready folder, where a stopped switch left the file
    };

    // Opens `folder` and takes the shared lock. When the folder cannot be
    // opened, every file is simply looked for by path (missing, as a rule).
    explicit IndexPairFiles(const QString &folder);

    // True when the lock could not be had in LockWait: a build keeps the
    // folder locked, and its files cannot be trusted to belong together.
    bool busy() const { return m_busy; }
    // Where `name` ("files.vxp" or "words.vxp") of the pair is read from.
    Source sourceOf(const char *name) const;
    // The path to read `name` of the pair from.
    QString pathOf(const char *name) const;
    // Opens `name` of the pair for reading; -1 with errno set when it
    // cannot be. Open both files before this object goes: the lock goes
    // with it.
    Platform::UniqueFd open(const char *name) const;

private:
    QString m_folder;
    Platform::UniqueFd m_folderFd; // holds the lock
    Platform::UniqueFd m_readyFd;
    bool m_busy = false;
};

} // namespace Tamberlyn::Tables
