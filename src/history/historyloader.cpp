#include "historyloader.h"

#include "historymatcher.h"

#include "tables/tablelines.h"

namespace Tamberlyn::History {

struct HistoryLoader::PageCache
{
    Tables::FileText file;
    Tables::FilesRead read;
    HistoryMatcher matcher;
};

HistoryLoader::HistoryLoader(Tables::TableFileReader reader)
    : m_reader(std::move(reader))
{
}

QStringList HistoryLoader::historyLines(QStringView text, bool *overLimit)
{
    const Tables::CutText cut = Tables::cutLines(text);
    QStringList lines;
    lines.reserve(cut.lines.size());
    for (const Tables::TextLine &line : cut.lines)
        lines.append(line.text.toString());
    if (overLimit)
        *overLimit = cut.overLimit;
    return lines;
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
    load.matched = pages.complete();
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
    Tables::FileText file = m_reader.readText(filesPath);
    if (m_cache && m_cache->file.end == file.end && m_cache->file.text == file.text)
        return m_cache;
    Tables::FilesRead read;
    if (file.end == Tables::ReadEnd::Complete)
        read = Tables::TableFileReader::parseFiles(file.text);
    else
        read.end = file.end;
    HistoryMatcher matcher(read.complete() ? read.table : Tables::PageTable());
    m_cache = std::make_shared<const PageCache>(PageCache{std::move(file), std::move(read), std::move(matcher)});
    return m_cache;
}

HistoryLoad HistoryLoader::LoadHist(const QString &historyPath, const QString &filesPath) const
{
    bool overLimit = false;
    QStringList lines;
    const Tables::FileText history = m_reader.readText(historyPath);
    if (history.end == Tables::ReadEnd::Complete)
        lines = historyLines(history.text, &overLimit);

    const auto pages = pagesFor(filesPath);
    HistoryLoad load = listFor(lines, pages->read, pages->matcher);
    if (overLimit)
        load.messages.prepend(Tables::TableMessage::TooManyHistoryEntries);
    return load;
}

} // namespace Tamberlyn::History
