#include "tablefilereader.h"

#include "boundedread.h"
#include "tableslogging.h"
#include "numberfields.h"
#include "tablelines.h"

#include <QFile>
#include <QFileInfo>

namespace Tamberlyn::Tables {

namespace {

template <typename Read>
void markOverLimit(Read &read, const CutText &cut, TableMessage message)
{
    if (read.end == ReadEnd::Complete && cut.overLimit) {
        read.end = ReadEnd::TooManyLines;
        read.stopLine = MaxTableLines + 1;
        read.message = message;
    }
}

template <typename Read>
Read notRead(ReadEnd why)
{
    Read read;
    read.end = why;
    return read;
}

} // namespace

TableFileReader::TableFileReader(CodePage codePage, FileProbe fileExists)
    : m_codePage(std::move(codePage))
    , m_fileExists(std::move(fileExists))
{
    if (!m_fileExists)
        m_fileExists = [](const QString &path) { return QFileInfo(path).isFile(); };
}

FileText TableFileReader::readText(const QString &path) const
{
    if (!m_fileExists(path))
        return {{}, ReadEnd::Missing};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcTables).noquote() << "cannot open" << path << file.errorString();
        return {{}, ReadEnd::Unreadable};
    }
    // Read one byte past the limit rather than trust the size: the path
    // need not be a plain file.
    const QByteArray bytes = readUpTo(file, MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        qCWarning(lcTables).noquote() << "cannot read" << path << file.errorString();
        return {{}, ReadEnd::Unreadable};
    }
    if (bytes.size() > MaxFileBytes) {
        qCWarning(lcTables).noquote() << "refusing" << path << "- larger than" << MaxFileBytes << "bytes";
        return {{}, ReadEnd::Unreadable};
    }
    return {m_codePage.decode(bytes), ReadEnd::Complete};
}

WordsRead TableFileReader::readWords(const QString &path) const
{
    const FileText file = readText(path);
    return file.end == ReadEnd::Complete ? parseWords(file.text) : notRead<WordsRead>(file.end);
}

FilesRead TableFileReader::readFiles(const QString &path) const
{
    const FileText file = readText(path);
    return file.end == ReadEnd::Complete ? parseFiles(file.text) : notRead<FilesRead>(file.end);
}

WordsRead TableFileReader::parseWords(QStringView text)
{
    const CutText cut = cutLines(text);
    QList<WordLine> lines;
    lines.reserve(cut.lines.size());
    for (const TextLine &line : cut.lines) {
        const qsizetype tab = line.text.indexOf(u'\t');
        if (tab < 0)
            lines.append(WordLine());
        else
            lines.append(WordLine{line.text.first(tab).toString(), line.text.sliced(tab + 1).toString()});
    }
    WordsRead read;
    read.table = WordTable(std::move(lines));
    markOverLimit(read, cut, TableMessage::TooManyWords);
    return read;
}

FilesRead TableFileReader::parseFiles(QStringView text)
{
    const CutText cut = cutLines(text);
    QList<PageLine> lines;
    lines.reserve(cut.lines.size());
    FilesRead read;
    for (const TextLine &line : cut.lines) {
        const qsizetype tab = line.text.indexOf(u'\t');
        if (tab < 0) {
            lines.append(PageLine());
            continue;
        }
        if (!isInt16Field(line.text.first(tab))) {
            read.end = ReadEnd::BadNumber;
            read.stopLine = lines.size() + 1;
            break;
        }
        const QStringView rest = line.text.sliced(tab + 1);
        const qsizetype secondTab = rest.indexOf(u'\t');
        if (secondTab < 0)
            lines.append(PageLine());
        else
            lines.append(PageLine{rest.first(secondTab).toString(), rest.sliced(secondTab + 1).toString()});
    }
    read.table = PageTable(std::move(lines));
    markOverLimit(read, cut, TableMessage::TooManyFiles);
    return read;
}

} // namespace Tamberlyn::Tables
