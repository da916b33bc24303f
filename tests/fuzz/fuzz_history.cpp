// The History window's loading: "history.vxp" and "files.vxp" read from
// disk, the lines matched against the page files, held to the plain
// matching of the unit tests' yardstick; and the multi-pattern matcher on
// its own against a plain search for every pattern.
//
// Input: the history file, then the files file (FuzzedDataProvider
// strings, in that order); a trailing byte picks extra patterns.

#include "fuzzcheck.h"
#include "scratchfiles.h"
#include "straightforward.h"

#include "tables/codepage.h"
#include "tables/tablefilereader.h"
#include "history/historyloader.h"
#include "history/historymatcher.h"
#include "history/multipatternmatcher.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

using namespace Tamberlyn;
using Fuzz::require;

namespace {

QByteArray bytesOf(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

// Which patterns occur in the text, one plain search per pattern.
std::vector<qsizetype> plainPatternsIn(const QStringList &patterns, QStringView text)
{
    std::vector<qsizetype> found;
    for (qsizetype i = 0; i < patterns.size(); ++i) {
        if (!patterns.at(i).isEmpty() && text.contains(patterns.at(i)))
            found.push_back(i);
    }
    return found;
}

void checkPatternMatcher(const QStringList &patterns, const QStringList &texts)
{
    const History::MultiPatternMatcher matcher(patterns);
    for (const QString &text : texts)
        require(matcher.patternsIn(text) == plainPatternsIn(patterns, text),
                "multi-pattern matcher differs from a plain search", text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto patternShape = input.ConsumeIntegral<quint8>();
    const QByteArray historyBytes = bytesOf(input.ConsumeRandomLengthString());
    const QByteArray filesBytes = bytesOf(input.ConsumeRemainingBytesAsString());

    const QString historyPath = Fuzz::writeScratchFile(QStringLiteral("history.vxp"), historyBytes);
    const QString filesPath = Fuzz::writeScratchFile(QStringLiteral("files.vxp"), filesBytes);

    const History::HistoryLoader loader;
    const History::HistoryLoad load = loader.LoadHist(historyPath, filesPath);
    // The second showing takes the page table from the cache: same list.
    require(loader.LoadHist(historyPath, filesPath).items == load.items, "a cached page table changed the list");

    const Tables::CodePage codePage = Tables::CodePage::windows1252();
    const QString historyText = codePage.decode(historyBytes);
    const QStringList lines = History::HistoryLoader::historyLines(historyText);
    const Tables::FilesRead pages = Tables::TableFileReader::parseFiles(codePage.decode(filesBytes));
    require(load.matched == pages.complete(), "matched although the page table was not read through");
    if (load.matched) {
        require(load.items == Straightforward::matchHistory(lines, pages.table),
                "history list differs from the plain matching", historyText);
    } else {
        require(load.items.size() == lines.size(), "unmatched list is not the raw lines");
        for (qsizetype i = 0; i < lines.size(); ++i)
            require(load.items.at(i) == History::HistoryItem{lines.at(i), QString()}, "raw line changed", lines.at(i));
    }

    // The matcher on its own, on patterns as they stand: the page files
    // (empty ones included, which are never reported), and, picked by the
    // trailing byte, pieces of the history lines so that matches abound.
    QStringList patterns;
    for (const Tables::PageLine &line : pages.table.lines())
        patterns.append(line.pageFile);
    const int pieceLength = 1 + (patternShape & 0x07);
    for (const QString &line : lines) {
        if (patterns.size() >= 64)
            break;
        patterns.append(line.mid(patternShape >> 5, pieceLength));
    }
    checkPatternMatcher(patterns, lines);
    return 0;
}
