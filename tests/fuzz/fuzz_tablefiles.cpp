// "words.vxp" and "files.vxp" as the Search and Index windows load them, then
// the Index window's narrowing and the full-text search over what was
// loaded, each held to the plain algorithm of the unit tests' yardstick.
//
// Input: a query typed into the entry box (UTF-8), the words file, the files file
// (FuzzedDataProvider strings, in that order), and two trailing bytes that
// pick a word of the loaded index and how much of it to type.

#include "fuzzcheck.h"
#include "scratchfiles.h"
#include "straightforward.h"

#include "tables/codepage.h"
#include "tables/numberfields.h"
#include "finders/searchindex.h"
#include "tables/tablefilereader.h"
#include "tables/tablelines.h"
#include "tables/textrules.h"
#include "finders/wordindex.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QSet>

#include <cstdint>

using namespace Tamberlyn;
using namespace Tamberlyn::Finders;
using namespace Tamberlyn::Tables;
using Fuzz::require;

namespace {

QByteArray bytesOf(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

// The lines of a table file, cut one character at a time: a CR ends a line
// and takes the character after it along.
QStringList plainLines(QStringView text)
{
    QStringList lines;
    QString line;
    bool open = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\r') {
            lines.append(line);
            line.clear();
            open = false;
            ++i;
        } else {
            line.append(text.at(i));
            open = true;
        }
    }
    if (open)
        lines.append(line);
    return lines;
}

// A 16-bit number field read the long way: spaces around an optional sign
// and decimal digits, the value compared without leading zeros.
bool plainInt16(QStringView field)
{
    QString text = trimSpaces(field).toString();
    bool negative = false;
    if (text.startsWith(u'+') || text.startsWith(u'-')) {
        negative = text.startsWith(u'-');
        text.remove(0, 1);
    }
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    while (text.size() > 1 && text.startsWith(u'0'))
        text.remove(0, 1);
    return text.size() <= 5 && text.toInt() <= (negative ? 32768 : 32767);
}

void checkCutting(QStringView text)
{
    const CutText cut = cutLines(text);
    const QStringList plain = plainLines(text);
    const qsizetype kept = std::min(plain.size(), MaxTableLines);
    require(cut.lines.size() == kept, "cutLines kept another number of lines than a plain cut");
    require(cut.overLimit == (plain.size() > MaxTableLines), "cutLines misjudged the line limit");
    for (qsizetype i = 0; i < kept; ++i)
        require(cut.lines.at(i).text == plain.at(i), "cutLines cut a line differently", plain.at(i));
}

void checkWords(const WordsRead &read, QStringView text)
{
    const QStringList plain = plainLines(text);
    require(read.table.lineCount() == std::min(plain.size(), MaxTableLines), "words: wrong line count");
    require((read.end == ReadEnd::TooManyLines) == (plain.size() > MaxTableLines), "words: wrong reading end");
    QString written;
    for (qsizetype n = 1; n <= read.table.lineCount(); ++n) {
        const WordLine &line = read.table.slot(n);
        const QString &source = plain.at(n - 1);
        const qsizetype tab = source.indexOf(u'\t');
        const WordLine expected = tab < 0 ? WordLine() : WordLine{source.left(tab), source.mid(tab + 1)};
        require(line == expected, "words: a line was split wrongly", source);
        written += line.word + (line.word.isEmpty() && line.fileList.isEmpty() ? QString() : QStringLiteral("\t"))
                   + line.fileList + QStringLiteral("\r\n");
    }
    // What was read, written out in the file's own format, reads the same.
    if (read.complete())
        require(TableFileReader::parseWords(written).table.lines() == read.table.lines(), "words: no round trip");
}

void checkFiles(const FilesRead &read, QStringView text)
{
    const QStringList plain = plainLines(text);
    qsizetype expectedLines = std::min(plain.size(), MaxTableLines);
    for (qsizetype i = 0; i < expectedLines; ++i) {
        const qsizetype tab = plain.at(i).indexOf(u'\t');
        if (tab >= 0 && !plainInt16(QStringView(plain.at(i)).left(tab))) {
            require(read.end == ReadEnd::BadNumber && read.stopLine == i + 1, "files: a bad number was not caught",
                    plain.at(i));
            expectedLines = i;
            break;
        }
    }
    require(read.table.lineCount() == expectedLines, "files: wrong line count");
    if (read.end != ReadEnd::BadNumber)
        require((read.end == ReadEnd::TooManyLines) == (plain.size() > MaxTableLines), "files: wrong reading end");
    QString written;
    for (qsizetype n = 1; n <= read.table.lineCount(); ++n) {
        const PageLine &line = read.table.slot(n);
        const QString &source = plain.at(n - 1);
        const QStringList fields = source.split(u'\t');
        const PageLine expected = fields.size() < 3 ? PageLine()
                                                    : PageLine{fields.at(1), source.section(u'\t', 2)};
        require(line == expected, "files: a line was split wrongly", source);
        written += (line == PageLine() ? QString() : QStringLiteral("0\t") + line.pageFile + u'\t' + line.title)
                   + QStringLiteral("\r\n");
    }
    if (read.complete())
        require(TableFileReader::parseFiles(written).table.lines() == read.table.lines(), "files: no round trip");
}

void checkNarrowing(const WordIndex &index, const WordTable &words, const QString &query)
{
    const Narrowing fast = index.narrow(query);
    const Narrowing plain = Straightforward::narrow(words, query);
    require(fast.entries == plain.entries, "narrowing differs from the plain scan", query);
    require(fast.label == plain.label, "narrowing label differs", query);
    require(fast.entries.size() <= index.wordCount(), "narrowing listed more words than there are");
}

void checkSearch(const SearchIndex &index, const WordTable &words, const PageTable &pages, const QString &query)
{
    const auto fast = index.search(query);
    const auto plain = Straightforward::search(words, pages, query);
    require(fast.has_value() == plain.has_value(), "search ran where the plain search did not, or not", query);
    if (!fast)
        return;
    require(fast->entries.size() == fast->resultFiles.size(), "search list and ResultFiles out of step", query);
    require(QSet<QString>(fast->resultFiles.begin(), fast->resultFiles.end()).size() == fast->resultFiles.size(),
            "search listed a page twice", query);
    require(fast->entries == plain->entries, "search list differs from the plain search", query);
    require(fast->resultFiles == plain->resultFiles, "ResultFiles differ from the plain search", query);
}

// A query that finds something: the first characters of a loaded word, in
// another letter case, with spaces around it.
QString typedPrefix(const WordTable &words, quint8 pick, quint8 length)
{
    if (words.lineCount() == 0)
        return {};
    const QString &word = words.slot(1 + pick % words.lineCount()).word;
    const QString prefix = word.left(1 + length % 16);
    return u' ' + (length & 0x10 ? prefix.toLower() : upperCase(prefix)) + u' ';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto pick = input.ConsumeIntegral<quint8>();
    const auto length = input.ConsumeIntegral<quint8>();
    const QByteArray queryBytes = bytesOf(input.ConsumeRandomLengthString(256));
    const QByteArray wordsBytes = bytesOf(input.ConsumeRandomLengthString());
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray filesBytes = bytesOf(rest);

    const CodePage codePage = CodePage::windows1252();
    // Every byte has a character of its own: the decoded text encodes back
    // to the same bytes.
    require(codePage.encode(codePage.decode(wordsBytes)) == wordsBytes, "code page is not a round trip");

    const TableFileReader reader;
    const WordsRead words = reader.readWords(Fuzz::writeScratchFile(QStringLiteral("words.vxp"), wordsBytes));
    const FilesRead files = reader.readFiles(Fuzz::writeScratchFile(QStringLiteral("files.vxp"), filesBytes));
    require(reader.readWords(Fuzz::missingScratchFile()).end == ReadEnd::Missing, "a missing file was read");

    const QString wordsText = codePage.decode(wordsBytes);
    const QString filesText = codePage.decode(filesBytes);
    checkCutting(wordsText);
    checkWords(words, wordsText);
    checkFiles(files, filesText);

    const WordIndex wordIndex(words.table);
    const SearchIndex searchIndex(words.table, files.table);
    // Typed text is any Unicode, not only what the code page holds.
    const QString typed = QString::fromUtf8(queryBytes);
    const QString prefix = typedPrefix(words.table, pick, length);
    const QString other = typedPrefix(words.table, length, pick);
    for (const QString &query : {typed, prefix}) {
        checkNarrowing(wordIndex, words.table, query);
        checkSearch(searchIndex, words.table, files.table, query);
    }
    checkSearch(searchIndex, words.table, files.table, prefix + u' ' + other);
    return 0;
}
