#pragma once

#include "codepage.h"
#include "indextables.h"
#include "tablemessages.h"

#include <QString>

#include <functional>
#include <optional>

namespace Tamberlyn::Tables {

// How a reading ended.
enum class ReadEnd {
    Complete,     // through to the end of the file
    Missing,      // no such file: the table stays empty, nothing is said
    Unreadable,   // the file could not be opened or read, or is far too big
    TooManyLines, // a 12401st line exists: the first 12400 stay, a box says so
    BadNumber,    // a "files.vxp" number field is not a 16-bit integer: the
                  // lines before it stay, nothing is said
};

template <typename TableType>
struct TableRead
{
    TableType table;
    ReadEnd end = ReadEnd::Complete;
    // The line that stopped the reading (TooManyLines: 12401, BadNumber: the
    // bad line); 0 otherwise.
    qsizetype stopLine = 0;
    // The box to show, if any (only for TooManyLines).
    std::optional<TableMessage> message;

    bool complete() const { return end == ReadEnd::Complete; }
};

using WordsRead = TableRead<WordTable>;
using FilesRead = TableRead<PageTable>;

// A whole file as text, or why there is none (Missing, Unreadable).
struct FileText
{
    QString text;
    ReadEnd end = ReadEnd::Complete;
};

// The one reader of "words.vxp" and "files.vxp" for every window and for the
// index tool: the whole file is read and decoded from the code page, cut
// into lines, and each line split at its TABs into the slot of its number.
class TableFileReader final
{
public:
    // Tells whether a file is there. The viewer passes its FileExists, which
    // asks to run Setup when the folder cannot be listed; the default looks
    // at the file system.
    using FileProbe = std::function<bool(const QString &path)>;

    // Far beyond any real index (a full one is a few megabytes); a bigger
    // file is refused rather than read whole into memory.
    static constexpr qint64 MaxFileBytes = qint64(256) * 1024 * 1024;

    explicit TableFileReader(CodePage codePage = CodePage::windows1252(), FileProbe fileExists = {});

    // Words keep the word and the file list ("Too many words!").
    WordsRead readWords(const QString &path) const;
    // Files keep the page file and the title ("Too many files!").
    FilesRead readFiles(const QString &path) const;
    // The decoded text of any file read whole (the history file too).
    FileText readText(const QString &path) const;

    // The same readings over text already decoded.
    static WordsRead parseWords(QStringView text);
    static FilesRead parseFiles(QStringView text);

private:
    CodePage m_codePage;
    FileProbe m_fileExists;
};

} // namespace Tamberlyn::Tables
