#pragma once

#include "platform/posix/uniquefd.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace Tamberlyn::IndexTool {

// The pages of a course folder as the build reads them. A course folder
// may come from anyone, so nothing in it is trusted to lead elsewhere: a
// symbolic link is never followed, neither on the way to the pages
// (kq_cbt/kq) nor as a page, exactly as the course server never serves
// one. A page that is a link to ~/.netrc or /proc/self/environ would
// otherwise put the author's secrets into the words.vxp that ships with
// the course. Pages are opened below a handle on their folder, so a link
// swapped in after the listing is refused too.
class CoursePages final
{
public:
    // Far beyond any course page (a long one is a few hundred kilobytes);
    // a bigger one is refused unread rather than parsed into memory.
    static constexpr qint64 MaxPageBytes = qint64(8) * 1024 * 1024;

    // A name the build took for a page and did not read, with why.
    struct Skipped
    {
        QString name;
        QString why;
    };

    // Opens COURSE_DIR/kq_cbt/kq when there is one (a web root), else
    // COURSE_DIR itself, and lists the indexed pages in it. False, with
    // the reason in `error`, when the folder cannot be read.
    bool open(const QString &courseDir, QString *error);

    QString folder() const { return m_folder; }
    // The indexed pages that are plain files, sorted by name.
    const QStringList &pages() const { return m_pages; }
    // Names of indexed pages that are links or anything but a plain file.
    const QList<Skipped> &skipped() const { return m_skipped; }

    // A page's bytes, read to its end; nothing, with the reason in
    // `error`, when it cannot be opened or read whole.
    std::optional<QByteArray> read(const QString &name, QString *error) const;

private:
    QString m_folder;
    Platform::UniqueFd m_folderFd;
    QStringList m_pages;
    QList<Skipped> m_skipped;
};

} // namespace Tamberlyn::IndexTool
