#pragma once

#include "historyitem.h"

#include "tables/tablefilereader.h"
#include "tables/tablemessages.h"

#include <QList>
#include <QStringList>

#include <memory>

namespace Tamberlyn::History {

// What LoadHist gives the History window: the whole list (lbResults with
// HistPages in step), which replaces whatever the window showed before, and
// the boxes to show, in order.
struct HistoryLoad
{
    QList<HistoryItem> items;
    QList<Tables::TableMessage> messages;
    // False when "files.vxp" could not be read through to its end, or holds
    // more page file text than the History window matches against (it then
    // says "Too many files!"): the items are then the raw history lines,
    // without pages.
    bool matched = false;
};

class HistoryMatcher;

// LoadHist: the history file's lines (stage 1), the page table (stage 2),
// and the titles of the pages the lines name (stage 3).
//
// "files.vxp" is read again on every run, as the window's list must follow
// the file; but while its text stays the same, the table and its matcher
// are those of the run before, so only the first showing pays for building
// them.
class HistoryLoader final
{
public:
    // A history names one page per record of a few dozen bytes, and the
    // window lists at most 12400 of them; a file this big is broken or
    // hostile, and is refused unread (the list is then empty, and the
    // window says there are too many entries).
    static constexpr qint64 MaxHistoryBytes = qint64(32) * 1024 * 1024;

    explicit HistoryLoader(Tables::TableFileReader reader = Tables::TableFileReader());

    HistoryLoad LoadHist(const QString &historyPath, const QString &filesPath) const;

    // Stage 1 over text already read: at most 12400 lines, cut like the
    // table files; `overLimit` tells that a 12401st line exists.
    static QStringList historyLines(QStringView text, bool *overLimit = nullptr);

    // Stages 2 and 3 over tables already read: the matched list when the
    // page table was read through, else the raw history lines, once.
    static HistoryLoad listFor(const QStringList &historyLines, const Tables::FilesRead &pages);

private:
    struct PageCache;
    static HistoryLoad listFor(const QStringList &historyLines, const Tables::FilesRead &pages,
                               const HistoryMatcher &matcher);
    std::shared_ptr<const PageCache> pagesFor(const QString &filesPath) const;

    Tables::TableFileReader m_reader;
    mutable std::shared_ptr<const PageCache> m_cache;
};

} // namespace Tamberlyn::History
