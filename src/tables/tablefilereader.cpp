#include "tablefilereader.h"

#include "boundedread.h"
#include "indexpairfiles.h"
#include "numberfields.h"
#include "tablefiles.h"
#include "tablelines.h"
#include "tableslogging.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace Tamberlyn::Tables {

namespace {

template <typename Read>
void markOverLimit(Read &read, bool overLimit, TableMessage message)
{
    if (read.end == ReadEnd::Complete && overLimit) {
        read.end = ReadEnd::TooManyLines;
        read.stopLine = MaxTableLines + 1;
        read.message = message;
    }
}

// A file refused from its size is a table over its limit as much as one
// with too many lines: the learner gets the same box, not a silent empty
// list.
template <typename Read>
Read notRead(ReadEnd why, TableMessage overLimit)
{
    Read read;
    read.end = why;
    if (why == ReadEnd::TooBig)
        read.message = overLimit;
    return read;
}

qsizetype indexOfTab(QStringView text)
{
    return text.indexOf(u'\t');
}

qsizetype indexOfTab(QByteArrayView bytes)
{
    const char *const tab = static_cast<const char *>(std::memchr(bytes.data(), '\t', std::size_t(bytes.size())));
    return tab ? tab - bytes.data() : -1;
}

// The two readings, over decoded text or over the file's bytes: `decode`
// turns a field into the text a table keeps.
template <typename View, typename Decode>
WordsRead wordsIn(View text, Decode decode)
{
    const BasicCutText<View> cut = cutLines(text);
    QList<WordLine> lines;
    lines.reserve(cut.lines.size());
    for (const BasicTextLine<View> &line : cut.lines) {
        const qsizetype tab = indexOfTab(line.text);
        if (tab < 0)
            lines.append(WordLine());
        else
            lines.append(WordLine{decode(line.text.first(tab)), decode(line.text.sliced(tab + 1))});
    }
    WordsRead read;
    read.table = WordTable(std::move(lines));
    markOverLimit(read, cut.overLimit, TableMessage::TooManyWords);
    return read;
}

template <typename View, typename Decode>
FilesRead filesIn(View text, Decode decode)
{
    const BasicCutText<View> cut = cutLines(text);
    QList<PageLine> lines;
    lines.reserve(cut.lines.size());
    FilesRead read;
    for (const BasicTextLine<View> &line : cut.lines) {
        const qsizetype tab = indexOfTab(line.text);
        if (tab < 0) {
            lines.append(PageLine());
            continue;
        }
        if (!isInt16Field(decode(line.text.first(tab)))) {
            read.end = ReadEnd::BadNumber;
            read.stopLine = lines.size() + 1;
            break;
        }
        const View rest = line.text.sliced(tab + 1);
        const qsizetype secondTab = indexOfTab(rest);
        if (secondTab < 0)
            lines.append(PageLine());
        else
            lines.append(PageLine{decode(rest.first(secondTab)), decode(rest.sliced(secondTab + 1))});
    }
    read.table = PageTable(std::move(lines));
    markOverLimit(read, cut.overLimit, TableMessage::TooManyFiles);
    return read;
}

QString asText(QStringView text)
{
    return text.toString();
}

} // namespace

TableFileReader::TableFileReader(CodePage codePage, FileProbe fileExists)
    : m_codePage(std::move(codePage))
    , m_fileExists(std::move(fileExists))
{
    if (!m_fileExists)
        m_fileExists = [](const QString &path) { return QFileInfo(path).isFile(); };
}

FileBytes TableFileReader::readBytes(const QString &path, qint64 maxBytes) const
{
    if (!m_fileExists(path))
        return {{}, ReadEnd::Missing};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcTables).noquote() << "cannot open" << path << file.errorString();
        return {{}, ReadEnd::Unreadable};
    }
    return readOpened(file, path, maxBytes);
}

FileBytes TableFileReader::readOpened(QFile &file, const QString &path, qint64 maxBytes)
{
    const auto tooBig = [&] {
        qCWarning(lcTables).noquote() << "refusing" << path << "- larger than" << maxBytes << "bytes";
        return FileBytes{{}, ReadEnd::TooBig};
    };
    // A plain file says its size: one too big is refused before a byte of
    // it is read. Anything else is read up to one byte past the limit.
    if (!file.isSequential() && file.size() > maxBytes)
        return tooBig();
    QByteArray bytes = readUpTo(file, maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        qCWarning(lcTables).noquote() << "cannot read" << path << file.errorString();
        return {{}, ReadEnd::Unreadable};
    }
    if (bytes.size() > maxBytes)
        return tooBig();
    return {std::move(bytes), ReadEnd::Complete};
}

TableFileReader::PairBytes TableFileReader::readPairBytes(const QString &folder, PairPart parts) const
{
    const IndexPairFiles pair(folder);
    const auto read = [&](const char *name) -> FileBytes {
        if (pair.busy())
            return {{}, ReadEnd::Unreadable};
        const QString path = pair.pathOf(name);
        // The viewer's FileExists asks about the folder's own files, as it
        // always has; a file the ready folder holds is there.
        if (pair.sourceOf(name) == IndexPairFiles::Source::Folder && !m_fileExists(path))
            return {{}, ReadEnd::Missing};
        Platform::UniqueFd fd = pair.open(name);
        QFile file;
        if (!fd.isValid() || !file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            qCWarning(lcTables).noquote() << "cannot open" << path << std::strerror(errno);
            return {{}, ReadEnd::Unreadable};
        }
        fd.release(); // the QFile closes it now
        return readOpened(file, path, MaxFileBytes);
    };
    PairBytes bytes;
    // Both are read before the lock goes, so both are of one pair.
    if (int(parts) & int(PairPart::Files))
        bytes.files = read(FilesFileName);
    if (int(parts) & int(PairPart::Words))
        bytes.words = read(WordsFileName);
    return bytes;
}

PairRead TableFileReader::readPair(const QString &folder) const
{
    const PairBytes bytes = readPairBytes(folder);
    return {filesFrom(bytes.files), wordsFrom(bytes.words)};
}

WordsRead TableFileReader::wordsFrom(const FileBytes &file) const
{
    return file.end == ReadEnd::Complete ? decodeWords(file.bytes)
                                         : notRead<WordsRead>(file.end, TableMessage::TooManyWords);
}

FilesRead TableFileReader::filesFrom(const FileBytes &file) const
{
    return file.end == ReadEnd::Complete ? decodeFiles(file.bytes)
                                         : notRead<FilesRead>(file.end, TableMessage::TooManyFiles);
}

FileText TableFileReader::readText(const QString &path, qint64 maxBytes) const
{
    const FileBytes file = readBytes(path, maxBytes);
    return {m_codePage.decode(file.bytes), file.end};
}

WordsRead TableFileReader::readWords(const QString &path) const
{
    return wordsFrom(readBytes(path));
}

FilesRead TableFileReader::readFiles(const QString &path) const
{
    return filesFrom(readBytes(path));
}

WordsRead TableFileReader::decodeWords(QByteArrayView bytes) const
{
    return wordsIn(bytes, [this](QByteArrayView field) { return m_codePage.decode(field); });
}

FilesRead TableFileReader::decodeFiles(QByteArrayView bytes) const
{
    return filesIn(bytes, [this](QByteArrayView field) { return m_codePage.decode(field); });
}

WordsRead TableFileReader::parseWords(QStringView text)
{
    return wordsIn(text, asText);
}

FilesRead TableFileReader::parseFiles(QStringView text)
{
    return filesIn(text, asText);
}

} // namespace Tamberlyn::Tables
