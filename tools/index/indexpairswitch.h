#pragma once

#include <QByteArray>
#include <QString>

namespace Tamberlyn::IndexTool {

// Puts a new "files.vxp" and "words.vxp" into a folder as a pair: their
// numbers refer to each other, so a folder must never be left with one new
// and one old.
//
// Both files are written in full, and flushed to disk, into a staging folder
// inside the target folder (so the renames stay on one file system). The
// staging folder is then renamed to ".tamberlyn-index-ready": that one
// rename is the commit. Only then are the two files renamed into place, one
// after the other, and the ready folder removed.
//
// What that guarantees:
// - A build that fails, or a crash before the commit, leaves the folder's
//   pair exactly as it was (a staging folder may be left; the next build
//   removes it).
// - After the commit the new pair is complete on disk. A crash between the
//   two renames leaves the folder mixed until the next build into it, which
//   first finishes the interrupted switch; "tamberlyn-index check" reports
//   such a folder.
// - A program that opens the two files while the switch runs (the span of
//   two renames) can get one of each; the viewer reads them when a finder
//   window first needs them.
// - Two builds into one folder take turns (an advisory lock on the folder).
class IndexPairSwitch final
{
public:
    static constexpr char ReadyFolder[] = ".tamberlyn-index-ready";
    static constexpr char StagingPrefix[] = ".tamberlyn-index-new-";

    explicit IndexPairSwitch(QString folder);

    // Writes and switches in the pair. False, with the reason in `error`,
    // when the folder's pair was left as it was.
    bool replace(const QByteArray &files, const QByteArray &words, QString *error);

    // True when a switch into `folder` was interrupted after its commit.
    static bool isPending(const QString &folder);

private:
    bool finishPending(int folderFd, QString *error);

    QString m_folder;
};

} // namespace Tamberlyn::IndexTool
