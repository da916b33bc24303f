#pragma once

#include "codepage.h"
#include "indextables.h"
#include "tablemessages.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <optional>

namespace Tamberlyn::Tables {

// How a reading ended.
enum class ReadEnd {
    Complete,     // through to the end of the file
    Missing,      // no such file: the table stays empty, nothing is said
    Unreadable,   // the file could not be opened or read
    TooBig,       // the file is larger than any real one: refused unread,
                  // and the box says the table is over its limit
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
    // The box to show, if any (TooManyLines and TooBig: the table's
    // over-limit message).
    std::optional<TableMessage> message;

    bool complete() const { return end == ReadEnd::Complete; }
};

using WordsRead = TableRead<WordTable>;
using FilesRead = TableRead<PageTable>;

// The two files of an index folder, read as the pair they are.
struct PairRead
{
    FilesRead files;
    WordsRead words;
};

// A whole file's bytes, or why there are none (Missing, Unreadable, TooBig).
struct FileBytes
{
    QByteArray bytes;
    ReadEnd end = ReadEnd::Complete;
};

// A whole file as text, or why there is none.
struct FileText
{
    QString text;
    ReadEnd end = ReadEnd::Complete;
};

// The one reader of "words.vxp", "files.vxp" and the history file for every
// window and for the index tool: the whole file is read, cut into lines,
// and each line split at its TABs into the slot of its number.
//
// Memory: a file is refused from its size before any of it is read, and a
// table keeps only the fields it needs, decoded from the file's bytes line
// by line; the peak is the bytes once and the kept text once (two bytes a
// character), about three times the file.
class TableFileReader final
{
public:
    // Tells whether a file is there. The viewer passes its FileExists, which
    // asks to run Setup when the folder cannot be listed; the default looks
    // at the file system.
    using FileProbe = std::function<bool(const QString &path)>;

    // Far beyond any real index (a full one is a few megabytes); a bigger
    // file is refused rather than read into memory.
    static constexpr qint64 MaxFileBytes = qint64(256) * 1024 * 1024;

    explicit TableFileReader(CodePage codePage = CodePage::windows1252(), FileProbe fileExists = {});

    // Words keep the word and the file list ("Too many words!").
    WordsRead readWords(const QString &path) const;
    // Files keep the page file and the title ("Too many files!").
    FilesRead readFiles(const QString &path) const;

    // "files.vxp" and "words.vxp" of an index folder, never one of an old
    // pair and one of a new (see IndexPairFiles): both opened under one
    // lock, each from where the pair's last switch put it.
    enum class PairPart { Files = 1, Words = 2, Both = 3 };
    struct PairBytes
    {
        FileBytes files;
        FileBytes words;
    };
    PairBytes readPairBytes(const QString &folder, PairPart parts = PairPart::Both) const;
    PairRead readPair(const QString &folder) const;
    // The table in bytes read before, or why there is none.
    WordsRead wordsFrom(const FileBytes &file) const;
    FilesRead filesFrom(const FileBytes &file) const;
    // A whole file, at most `maxBytes` long: a plain file that is longer is
    // refused from its size, anything else (a pipe, a device) once that many
    // bytes have come.
    FileBytes readBytes(const QString &path, qint64 maxBytes = MaxFileBytes) const;
    // The same, decoded from the code page.
    FileText readText(const QString &path, qint64 maxBytes = MaxFileBytes) const;

    // The readings over the file's bytes...
    WordsRead decodeWords(QByteArrayView bytes) const;
    FilesRead decodeFiles(QByteArrayView bytes) const;
    // ... and over text already decoded.
    static WordsRead parseWords(QStringView text);
    static FilesRead parseFiles(QStringView text);

    const CodePage &codePage() const { return m_codePage; }

private:
    static FileBytes readOpened(QFile &file, const QString &path, qint64 maxBytes);

    CodePage m_codePage;
    FileProbe m_fileExists;
};

} // namespace Tamberlyn::Tables
