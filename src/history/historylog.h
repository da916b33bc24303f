#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace Tamberlyn::History {

// The log of pages seen, "history.vxp" in the data folder: one record per
// visit, a quoted page name and CR LF, oldest first.
class HistoryLog final
{
public:
    static constexpr const char *FileName = "history.vxp";

    explicit HistoryLog(QString dornDir = {});

    void setDornDir(const QString &dornDir) { m_dornDir = dornDir; }
    QString filePath() const;

    // The exact bytes of one record: '"', the name in the ANSI code page
    // as it stands, '"', CR, LF.
    static QByteArray recordFor(const QString &pageName);

    // Opens the file for appending (creating it), writes the record with a
    // single write and closes it again, so the file holds every visit the
    // moment it is recorded, whatever becomes of the viewer. The disk has
    // it a moment later: a worker flushes the file (and, for a new file,
    // its folder) off the page turn (HistoryLogSync), so a power cut loses
    // at most the visits of that last moment. A record that could not be
    // written whole is taken back, so a full disk never leaves half a
    // record behind. When the file does not end in CR LF (a record torn by
    // someone else's crash, or by a power cut), the record starts on a line
    // of its own and the torn line stays as it is. False when the visit went
    // unrecorded; then `problem`, when given, gets the system's reason
    // ("No space left on device").
    bool AppendHistory(const QString &pageName, QString *problem = nullptr) const;

    // Waits until every record appended so far is on the disk; false when
    // `timeout` passed first.
    static bool waitUntilOnDisk(std::chrono::milliseconds timeout);

private:
    // What must come before a record appended to the open file of `size`
    // bytes: nothing, the LF a lone CR lacks, or CR LF.
    static QByteArray lineBreakAfter(int fd, qint64 size);

    QString m_dornDir;
};

} // namespace Tamberlyn::History
