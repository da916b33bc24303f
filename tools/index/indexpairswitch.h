#pragma once

#include "tables/tablefiles.h"

#include "platform/posix/uniquefd.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Tamberlyn::IndexTool {

// Puts a new "files.vxp" and "words.vxp" into a folder as a pair: their
// numbers refer to each other, so a reader must never take one new and one
// old.
//
// Both files are written in full, and flushed to disk, into a staging folder
// inside the target folder (so the renames stay on one file system). The
// staging folder is then renamed to ".tamberlyn-index-ready": that one
// rename is the commit. Only then are the two files renamed into place, one
// after the other, and the ready folder removed. The commit and the switch
// run under an exclusive lock (flock) on the folder, which readers take
// shared (Tables::IndexPairFiles).
//
// What that guarantees:
// - A build that fails, or a crash before the commit, leaves the folder's
//   pair exactly as it was (a staging folder may be left; the next build
//   removes it).
// - After the commit the new pair is complete on disk. A crash between the
//   two renames leaves the folder mixed, but a reader still takes the new
//   pair: each file from the ready folder while it is there. The next build
//   into the folder finishes the switch before anything else; "tamberlyn-
//   index check" reports such a folder.
// - A reader never sees a switch in progress: it waits for the lock.
// - Two builds into one folder take turns for the switch.
//
// Nothing in the folder is trusted to be what its name says: the tool never
// follows a link there and removes only what it made. A link (or anything
// but a folder) where a staging or ready folder should be is refused, and
// left alone, before anything is changed.
class IndexPairSwitch final
{
public:
    static constexpr const char *ReadyFolder = Tables::ReadyFolderName;
    static constexpr char StagingPrefix[] = ".tamberlyn-index-new-";

    // How the folder's pair stands after a switch, or after a try at one.
    enum class Outcome {
        Switched,  // the new pair is in place (or no switch was pending)
        Untouched, // failed before the commit: the folder's pair is as it was
        Committed, // the new pair is complete in the ready folder; the folder
                   // still holds the old pair, whole
        Mixed,     // files.vxp is in place, words.vxp still in the ready
                   // folder: the folder itself holds one new and one old
    };
    struct Result
    {
        Outcome outcome = Outcome::Untouched;
        QString error; // empty when it went through
        bool finishedEarlierSwitch = false;
        // Staging folders left by other builds that could not be removed.
        QStringList leftovers;
    };

    explicit IndexPairSwitch(QString folder);

    // Finishes a switch an earlier build left half done. A folder that does
    // not exist needs nothing.
    Result finishInterrupted();
    // Writes and switches in the pair, creating the folder when missing.
    Result replace(const QByteArray &files, const QByteArray &words);

    // How a folder stands, for check: whether a switch was left half done
    // and how far it got (Switched when none was).
    static Outcome pendingState(const QString &folder);

private:
    bool openFolder(bool create, Result &result);
    bool refuseStrangers(Result &result);
    bool finishLocked(Result &result);
    void removeStaleStaging(Result &result);

    QString m_folder;
    Platform::UniqueFd m_folderFd;
};

} // namespace Tamberlyn::IndexTool
