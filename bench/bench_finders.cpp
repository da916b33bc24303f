// The finders at full size: 12400 words, 12400 pages, 12400 history lines,
// made up from a fixed seed. Each operation runs the real implementation
// beside the plain algorithm (straight scans, linear duplicate searches,
// every history line against every page file) in the same run, checks that
// both give the same list, and prints the median times and their ratio. The
// goal for the real one is one frame, 16 ms.
#include "../tests/unit/finders/straightforward.h"
#include "../tests/unit/finders/tablegenerator.h"

#include "finders/searchindex.h"
#include "finders/searchsuggestions.h"
#include "tables/tablefilereader.h"
#include "tables/textrules.h"
#include "finders/wordindex.h"
#include "history/historyloader.h"
#include "history/historymatcher.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Tamberlyn;

namespace {

constexpr double FrameMs = 16.0;

double medianMs(int rounds, const std::function<void()> &work)
{
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

struct Report
{
    bool allSame = true;
    bool allFast = true;

    void row(const char *operation, const QString &input, double fastMs, double plainMs, bool same, qsizetype size)
    {
        allSame = allSame && same;
        allFast = allFast && fastMs < FrameMs;
        std::printf("%-22s %-14s %8lld %11.3f %14.3f %9.0fx  %s\n", operation, qPrintable(u'"' + input + u'"'),
                    static_cast<long long>(size), fastMs, plainMs, plainMs / std::max(fastMs, 1e-6),
                    same ? "same" : "DIFFERENT");
    }
};

bool writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    const QByteArray bytes = Tables::CodePage::windows1252().encode(text);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char *argv[])
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;

    GeneratorShape shape;
    shape.pages = 12400;
    shape.words = 12400;
    shape.filesPerWord = 12;
    shape.historyLines = 12400;
    shape.queries = 0;
    shape.faults = false; // valid files: every page takes part in the history matching
    const GeneratedIndex generated = generateIndex(20240601, shape);
    const Tables::WordTable words = Tables::TableFileReader::parseWords(generated.words).table;
    const Tables::PageTable pages = Tables::TableFileReader::parseFiles(generated.files).table;
    const QStringList historyLines = History::HistoryLoader::historyLines(generated.history);
    std::printf("tables: %lld words, %lld pages, %lld history lines; medians of %d rounds (plain: fewer)\n\n",
                static_cast<long long>(words.lineCount()), static_cast<long long>(pages.lineCount()),
                static_cast<long long>(historyLines.size()), rounds);

    std::printf("%-22s %-14s %8s %11s %14s %10s\n", "operation", "input", "entries", "fast ms", "plain ms", "ratio");
    Report report;

    const Finders::WordIndex wordIndex(words);
    for (const QString &query : {QString(), QStringLiteral("c"), QStringLiteral("cab"), QStringLiteral("wire")}) {
        Finders::Narrowing fast;
        Finders::Narrowing plain;
        const double fastMs = medianMs(rounds, [&] { fast = wordIndex.narrow(query); });
        const double plainMs = medianMs(std::max(1, rounds / 3), [&] { plain = Straightforward::narrow(words, query); });
        report.row("index narrowing", query, fastMs, plainMs,
                   fast.entries == plain.entries && fast.label == plain.label, fast.entries.size());
    }

    const Finders::SearchIndex searchIndex(words, pages);
    for (const QString &query : {QStringLiteral("c"), QStringLiteral("so"), QStringLiteral("cable"),
                                QStringLiteral("c w"), QStringLiteral("ca so in")}) {
        std::optional<Finders::SearchResult> fast;
        std::optional<Finders::SearchResult> plain;
        const double fastMs = medianMs(rounds, [&] { fast = searchIndex.search(query); });
        const double plainMs = medianMs(1, [&] { plain = Straightforward::search(words, pages, query); });
        report.row(query.contains(u' ') ? "search, two words" : "search, one word", query, fastMs, plainMs,
                   fast && plain && fast->entries == plain->entries && fast->resultFiles == plain->resultFiles,
                   fast ? fast->count() : -1);
    }

    // What a search that finds nothing offers instead: typed without an
    // accent, copied with punctuation, with a slip, with a word that is not
    // in the index at all, and two words that no page holds together.
    const Finders::SearchSuggestions suggestions(words);
    const QString someWord = Tables::trimSpaces(words.slot(4321).word).toString();
    const QString otherWord = Tables::trimSpaces(words.slot(8765).word).toString();
    QString unaccented = someWord.normalized(QString::NormalizationForm_D);
    unaccented.remove(QRegularExpression(QStringLiteral("\\p{M}")));
    QString slip = someWord;
    if (slip.size() >= 3)
        std::swap(slip[1], slip[2]);
    const QStringList slips = {QStringLiteral("etca"), u'(' + someWord + QStringLiteral("),"),
                               unaccented + u'x', slip, QStringLiteral("zqzqzq"), QStringLiteral("caxble sovlar"),
                               slip + u' ' + otherWord + u'q'};
    for (const QString &query : slips) {
        const auto found = searchIndex.search(query);
        if (!found || found->count() > 0) {
            std::printf("%-22s %-14s finds pages; not a case for suggestions\n", "suggestions",
                        qPrintable(u'"' + query + u'"'));
            report.allSame = false;
            continue;
        }
        QList<Finders::SuggestedSearch> fast;
        QList<Finders::SuggestedSearch> plain;
        const double fastMs = medianMs(rounds, [&] { fast = suggestions.suggest(query, searchIndex); });
        const double plainMs = medianMs(1, [&] { plain = Straightforward::suggest(words, pages, query); });
        report.row(query.contains(u' ') ? "suggestions, two words" : "suggestions, one word", query, fastMs,
                   plainMs, fast == plain, fast.size());
    }

    {
        // LoadHist's stage 3 runs afresh on every showing, so building the
        // matcher counts as part of it.
        QList<History::HistoryItem> fast;
        QList<History::HistoryItem> plain;
        const double fastMs = medianMs(rounds, [&] { fast = History::HistoryMatcher(pages).match(historyLines); });
        const double plainMs = medianMs(1, [&] { plain = Straightforward::matchHistory(historyLines, pages); });
        report.row("history matching", QString(), fastMs, plainMs, fast == plain, fast.size());
    }

    std::printf("\nwhole operations, for scale (no plain counterpart):\n");
    QTemporaryDir dir;
    const QString filesPath = dir.filePath(QStringLiteral("files.vxp"));
    const QString wordsPath = dir.filePath(QStringLiteral("words.vxp"));
    const QString historyPath = dir.filePath(QStringLiteral("history.vxp"));
    if (!writeFile(filesPath, generated.files) || !writeFile(wordsPath, generated.words)
        || !writeFile(historyPath, generated.history)) {
        std::fprintf(stderr, "cannot write the tables to %s\n", qPrintable(dir.path()));
        return 2;
    }
    const double firstLoadHistMs =
        medianMs(rounds, [&] { (void)History::HistoryLoader().LoadHist(historyPath, filesPath); });
    std::printf("  LoadHist, first showing (read, decode, cut, build the matcher, match): %.3f ms\n",
                firstLoadHistMs);
    const History::HistoryLoader loader;
    (void)loader.LoadHist(historyPath, filesPath);
    const double laterLoadHistMs = medianMs(rounds, [&] { (void)loader.LoadHist(historyPath, filesPath); });
    std::printf("  LoadHist, later showings (files.vxp unchanged, its matcher kept): %.3f ms\n", laterLoadHistMs);
    const Tables::TableFileReader reader;
    const double loaderUpMs = medianMs(rounds, [&] {
        (void)Finders::SearchIndex(reader.readWords(wordsPath).table, reader.readFiles(filesPath).table);
    });
    std::printf("  LoaderUp's reading and index building (once a run): %.3f ms\n", loaderUpMs);
    const double suggestionsMs = medianMs(rounds, [&] { (void)Finders::SearchSuggestions(words); });
    std::printf("  the suggestions' word keys, made with the tables (once a run): %.3f ms\n", suggestionsMs);

    std::printf("\n%s; %s\n", report.allSame ? "all lists identical" : "LISTS DIFFER",
                report.allFast ? "every operation under one frame (16 ms)" : "SOME OPERATION OVER ONE FRAME");
    return report.allSame ? 0 : 1;
}
