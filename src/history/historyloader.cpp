#include "historyloader.h"

#include "historymatcher.h"

#include "tables/tablefiles.h"
#include "tables/tablelines.h"

#include <QFileInfo>

namespace Tamberlyn::History {

namespace {

QString lineText(QStringView line, const Tables::CodePage &)
{
    return line.toString();
}

QString lineText(QByteArrayView line, const Tables::CodePage &codePage)
{
    return codePage.decode(line);
}

// Stage 1 over decoded text or over the file's bytes, decoding only the
// lines kept.
template <typename View>
QStringList linesIn(View text, const Tables::CodePage &codePage, bool *overLimit)
{
    const auto cut = Tables::cutLines(text);
    QStringList lines;
    lines.reserve(cut.lines.size());
    for (const auto &line : cut.lines)
        lines.append(lineText(line.text, codePage));
    if (overLimit)
        *overLimit = cut.overLimit;
    return lines;
}

} // namespace

struct HistoryLoader::PageCache
{
    Tables::FileBytes file;
    Tables::FilesRead read;
    HistoryMatcher matcher;
};

HistoryLoader::HistoryLoader(Tables::TableFileReader reader)
    : m_reader(std::move(reader))
{
}

QStringList HistoryLoader::historyLines(QStringView text, bool *overLimit)
{
    return linesIn(text, Tables::CodePage::windows1252(), overLimit);
}

HistoryLoad HistoryLoader::listFor(const QStringList &historyLines, const Tables::FilesRead &pages)
{
    return listFor(historyLines, pages, HistoryMatcher(pages.complete() ? pages.table : Tables::PageTable()));
}

HistoryLoad HistoryLoader::listFor(const QStringList &historyLines, const Tables::FilesRead &pages,
                                   const HistoryMatcher &matcher)
{
    HistoryLoad load;
    if (pages.message)
        load.messages.append(*pages.message);
    // A table whose page files are more than a matcher takes is over the
    // window's limit as much as one with too many lines.
    else if (pages.complete() && matcher.refused())
        load.messages.append(Tables::TableMessage::TooManyFiles);
    load.matched = pages.complete() && !matcher.refused();
    if (load.matched) {
        load.items = matcher.match(historyLines);
    } else {
        // Without a full page table the list shows the lines as stored.
        // They replace the list rather than join it, so a visit to History
        // never shows them twice.
        load.items.reserve(historyLines.size());
        for (const QString &line : historyLines)
            load.items.append({line, QString()});
    }
    return load;
}

std::shared_ptr<const HistoryLoader::PageCache> HistoryLoader::pagesFor(const QString &filesPath) const
{
    // The page table of an index folder is the one of its pair, as the
    // Search reads it, even while a build switches in a new pair.
    const QFileInfo info(filesPath);
    Tables::FileBytes file = info.fileName() == QLatin1String(Tables::FilesFileName)
        ? m_reader.readPairBytes(info.path(), Tables::TableFileReader::PairPart::Files).files
        : m_reader.readBytes(filesPath);
    if (m_cache && m_cache->file.end == file.end && m_cache->file.bytes == file.bytes)
        return m_cache;
    const Tables::FilesRead read = m_reader.filesFrom(file);
    HistoryMatcher matcher(read.complete() ? read.table : Tables::PageTable());
    m_cache = std::make_shared<const PageCache>(PageCache{std::move(file), std::move(read), std::move(matcher)});
    return m_cache;
}

HistoryLoad HistoryLoader::LoadHist(const QString &historyPath, const QString &filesPath) const
{
    bool overLimit = false;
    QStringList lines;
    {
        const Tables::FileBytes history = m_reader.readBytes(historyPath, MaxHistoryBytes);
        if (history.end == Tables::ReadEnd::Complete)
            lines = linesIn(QByteArrayView(history.bytes), m_reader.codePage(), &overLimit);
        // A file too big to read holds far more records than the window
        // lists: the learner is told so, as for one over the entry limit.
        else if (history.end == Tables::ReadEnd::TooBig)
            overLimit = true;
    }

    const auto pages = pagesFor(filesPath);
    HistoryLoad load = listFor(lines, pages->read, pages->matcher);
    if (overLimit)
        load.messages.prepend(Tables::TableMessage::TooManyHistoryEntries);
    return load;
}

} // namespace Tamberlyn::History
