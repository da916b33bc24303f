#include "tablecheck.h"

#include "indexpairswitch.h"

#include "tables/numberfields.h"
#include "tables/tablefiles.h"
#include "tables/tablelines.h"
#include "tables/textrules.h"

#include <algorithm>
#include <array>
#include <optional>

namespace Tamberlyn::IndexTool {

namespace {

using namespace Tables;

enum class Problem {
    InterruptedSwitch,
    InterruptedSwitchMixed,
    Missing,
    TooBig,
    Unreadable,
    TooManyLines,
    LfInsideLine,
    CrWithoutLf,
    CrAtEnd,
    NoLineEnd,
    BlankPageLine,
    NoPageTab,
    BadNumberField,
    NotLineNumber,
    NoTitleTab,
    EmptyPageFile,
    NoWordTab,
    EmptyWord,
    NoFileNumbers,
    FileNumberOutOfRange,
    FileNumberNotDecimal,
    FileNumberWithoutPage,
    LastNumberWithoutTab,
};
constexpr std::size_t ProblemKinds = std::size_t(Problem::LastNumberWithoutTab) + 1;

struct ProblemText
{
    const char *kind;    // what the counts of the problems not shown say
    const char *message; // a problem shown in full, %1... its details
};

ProblemText textOf(Problem problem)
{
    switch (problem) {
    case Problem::InterruptedSwitch:
        return {"interrupted switch", "a build was interrupted after its commit: the new index is complete in "
                                      "this folder and is what the viewer reads (and what is checked here); the "
                                      "folder itself still holds the old pair; the next build switches it in"};
    case Problem::InterruptedSwitchMixed:
        return {"interrupted switch", "a build was interrupted half way through its switch: the folder's own "
                                      "files.vxp is the new one and its words.vxp the old one, which do not "
                                      "belong together; the viewer reads the new pair (words.vxp from this "
                                      "folder, checked here); the next build finishes the switch"};
    case Problem::Missing:
        return {"missing", "missing"};
    case Problem::TooBig:
        return {"too large", "larger than %1 bytes: the viewer does not read it"};
    case Problem::Unreadable:
        return {"cannot be read", "cannot be read"};
    case Problem::TooManyLines:
        return {"too many lines", "%1 lines, more than %2: the viewer reads the first %2 and says \"%3\""};
    case Problem::LfInsideLine:
        return {"LF without CR", "LF without CR inside the line"};
    case Problem::CrWithoutLf:
        return {"CR not followed by LF", "CR not followed by LF (the character after it is lost)"};
    case Problem::CrAtEnd:
        return {"CR without LF at the end", "CR without LF at the end of the file"};
    case Problem::NoLineEnd:
        return {"no CR LF at the end", "no CR LF at the end of the last line"};
    case Problem::BlankPageLine:
        return {"blank line", "blank line: no page, and the History window's table ends here"};
    case Problem::NoPageTab:
        return {"no TAB", "no TAB: the line holds no page"};
    case Problem::BadNumberField:
        return {"number field not a 16-bit integer",
                "number field \"%1\" is not a 16-bit integer: the viewer stops reading files.vxp here"};
    case Problem::NotLineNumber:
        return {"number field not the line number", "number field %1 is not the line number"};
    case Problem::NoTitleTab:
        return {"no TAB between page file and title", "no TAB between page file and title: the line holds no page"};
    case Problem::EmptyPageFile:
        return {"empty page file", "empty page file: no page, and the History window's table ends here"};
    case Problem::NoWordTab:
        return {"no TAB", "no TAB: the line holds no word"};
    case Problem::EmptyWord:
        return {"empty word", "empty word"};
    case Problem::NoFileNumbers:
        return {"no file numbers", "no file numbers"};
    case Problem::FileNumberOutOfRange:
        return {"file number out of range", "file number %1 is out of range 1..%2"};
    case Problem::FileNumberNotDecimal:
        return {"file number not decimal", "file number \"%1\" is not a decimal number"};
    case Problem::FileNumberWithoutPage:
        return {"file number of a line without a page", "file number %1 names a line of files.vxp without a page"};
    case Problem::LastNumberWithoutTab:
        return {"last file number without its TAB", "the last file number lacks its TAB"};
    }
    return {"", ""};
}

// A field of the file quoted in a problem: a hostile one can be the whole
// file long, and the report needs only its beginning to find it.
struct Quoted
{
    QStringView text;
};

constexpr qsizetype MaxQuoted = 60;

// The details of a message are turned into text only for a problem shown.
QString detail(qsizetype number)
{
    return QString::number(number);
}

QString detail(Quoted field)
{
    return field.text.size() <= MaxQuoted ? field.text.toString() : field.text.first(MaxQuoted).toString() + u"...";
}

QString detail(const QString &text)
{
    return text;
}

// The problems of one file: the first ones of the whole report in full, the
// rest counted by kind.
class Reporter final
{
public:
    Reporter(CheckReport &report, QLatin1String fileName)
        : m_report(report)
        , m_fileName(fileName)
    {
    }
    Q_DISABLE_COPY_MOVE(Reporter)

    // What was only counted goes into the report once the file is done.
    ~Reporter()
    {
        for (const Problem kind : std::as_const(m_kindsMet))
            m_report.notShown.append({m_fileName, QLatin1String(textOf(kind).kind), m_notShown.at(std::size_t(kind))});
    }

    // A problem of the whole file.
    template <typename... Details>
    void file(Problem kind, const Details &...details)
    {
        add(0, kind, details...);
    }

    template <typename... Details>
    void line(qsizetype n, Problem kind, const Details &...details)
    {
        add(n, kind, details...);
    }

    // The line end and the limit, which both files share.
    void lineEnd(qsizetype n, QStringView text, LineEnd end)
    {
        if (text.contains(u'\n'))
            line(n, Problem::LfInsideLine);
        switch (end) {
        case LineEnd::CrLf:
            break;
        case LineEnd::CrOther:
            line(n, Problem::CrWithoutLf);
            break;
        case LineEnd::CrAtEnd:
            line(n, Problem::CrAtEnd);
            break;
        case LineEnd::None:
            line(n, Problem::NoLineEnd);
            break;
        }
    }

    void limit(qsizetype lines, TableMessage message)
    {
        if (lines > MaxTableLines)
            file(Problem::TooManyLines, lines, MaxTableLines, messageText(message));
    }

private:
    template <typename... Details>
    void add(qsizetype n, Problem kind, const Details &...details)
    {
        ++m_report.problemCount;
        // A problem of the whole file comes at most once a file and says
        // the most: it is always shown.
        if (n == 0 || m_report.shown.size() < CheckReport::ShownProblems) {
            QString text = QLatin1String(textOf(kind).message);
            if constexpr (sizeof...(details) > 0)
                text = text.arg(detail(details)...);
            const QString where = n > 0 ? m_fileName + u':' + QString::number(n) : m_fileName;
            m_report.shown.append(where + u": " + text);
            return;
        }
        qsizetype &count = m_notShown[std::size_t(kind)];
        if (count++ == 0)
            m_kindsMet.append(kind);
    }

    CheckReport &m_report;
    QString m_fileName;
    std::array<qsizetype, ProblemKinds> m_notShown{};
    QList<Problem> m_kindsMet;
};

// The file's bytes, or nothing after saying why there are none.
std::optional<QByteArray> readable(Reporter &report, FileBytes file)
{
    switch (file.end) {
    case ReadEnd::Complete:
        return std::move(file.bytes);
    case ReadEnd::Missing:
        report.file(Problem::Missing);
        break;
    case ReadEnd::TooBig:
        report.file(Problem::TooBig, qsizetype(TableFileReader::MaxFileBytes));
        break;
    default:
        report.file(Problem::Unreadable);
        break;
    }
    return std::nullopt;
}

// Whether each line of "files.vxp" a file number can name holds a page.
class PageLines final
{
public:
    // Nothing is known when the file could not be read.
    bool known() const { return !m_holdsPage.isEmpty(); }
    // The lines a file number can name: the table's, at most MaxTableLines.
    qsizetype count() const { return m_holdsPage.size() - 1; }
    bool holdsPage(qsizetype n) const { return m_holdsPage.at(n); }

    void startReading() { m_holdsPage = {false}; }
    // Line n, as long as a file number can name it.
    void add(qsizetype n, bool holdsPage)
    {
        if (n <= MaxTableLines)
            m_holdsPage.append(holdsPage);
    }

private:
    QList<bool> m_holdsPage; // by line number, from 1
};

// Checks one line of "files.vxp"; tells whether it holds a page.
bool checkPageLine(Reporter &report, qsizetype n, QStringView text)
{
    const qsizetype tab = text.indexOf(u'\t');
    if (tab < 0) {
        report.line(n, text.isEmpty() ? Problem::BlankPageLine : Problem::NoPageTab);
        return false;
    }
    const QStringView number = text.first(tab);
    if (!isInt16Field(number)) {
        report.line(n, Problem::BadNumberField, Quoted{number});
        return false;
    }
    if (trimSpaces(number).toInt() != n)
        report.line(n, Problem::NotLineNumber, Quoted{trimSpaces(number)});
    const QStringView rest = text.sliced(tab + 1);
    const qsizetype secondTab = rest.indexOf(u'\t');
    if (secondTab < 0) {
        report.line(n, Problem::NoTitleTab);
        return false;
    }
    if (trimSpaces(rest.first(secondTab)).isEmpty()) {
        report.line(n, Problem::EmptyPageFile);
        return false;
    }
    return true;
}

PageLines checkFiles(CheckReport &checkReport, const TableFileReader &reader, FileBytes file)
{
    Reporter report(checkReport, QLatin1String(FilesFileName));
    PageLines pages;
    const std::optional<QByteArray> bytes = readable(report, std::move(file));
    if (!bytes)
        return pages;
    pages.startReading();
    ByteLineCutter cutter(*bytes);
    qsizetype n = 0;
    while (const auto line = cutter.next()) {
        const QString text = reader.codePage().decode(line->text);
        report.lineEnd(++n, text, line->end);
        pages.add(n, checkPageLine(report, n, text));
    }
    checkReport.fileLines = n;
    report.limit(n, TableMessage::TooManyFiles);
    return pages;
}

bool isDecimal(QStringView field)
{
    return !field.isEmpty() && std::all_of(field.begin(), field.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

void checkWordLine(Reporter &report, qsizetype n, QStringView text, const PageLines &pages)
{
    const qsizetype tab = text.indexOf(u'\t');
    if (tab < 0) {
        report.line(n, Problem::NoWordTab);
        return;
    }
    if (trimSpaces(text.first(tab)).isEmpty())
        report.line(n, Problem::EmptyWord);
    const QStringView fileList = text.sliced(tab + 1);
    if (fileList.isEmpty())
        report.line(n, Problem::NoFileNumbers);
    // Without "files.vxp" the numbers can only be held to the table size.
    const qsizetype pageLines = pages.known() ? pages.count() : MaxTableLines;
    FileListWalker fields(fileList);
    while (const auto field = fields.next()) {
        const auto f = fileNumber(field->text);
        if (!f) {
            if (isDecimal(field->text))
                report.line(n, Problem::FileNumberOutOfRange, Quoted{field->text}, pageLines);
            else
                report.line(n, Problem::FileNumberNotDecimal, Quoted{field->text});
        } else if (!pages.known()) {
            // Nothing more to hold it to.
        } else if (*f > pageLines) {
            report.line(n, Problem::FileNumberOutOfRange, *f, pageLines);
        } else if (!pages.holdsPage(*f)) {
            report.line(n, Problem::FileNumberWithoutPage, *f);
        }
        if (!field->tabbed)
            report.line(n, Problem::LastNumberWithoutTab);
    }
}

void checkWords(CheckReport &checkReport, const TableFileReader &reader, FileBytes file, const PageLines &pages)
{
    Reporter report(checkReport, QLatin1String(WordsFileName));
    const std::optional<QByteArray> bytes = readable(report, std::move(file));
    if (!bytes)
        return;
    ByteLineCutter cutter(*bytes);
    qsizetype n = 0;
    while (const auto line = cutter.next()) {
        const QString text = reader.codePage().decode(line->text);
        report.lineEnd(++n, text, line->end);
        checkWordLine(report, n, text, pages);
    }
    checkReport.wordLines = n;
    report.limit(n, TableMessage::TooManyWords);
}

} // namespace

CheckReport checkIndexFolder(const QString &folder, const TableFileReader &reader)
{
    CheckReport report;
    switch (IndexPairSwitch::pendingState(folder)) {
    case IndexPairSwitch::Outcome::Committed:
        Reporter(report, QLatin1String(IndexPairSwitch::ReadyFolder)).file(Problem::InterruptedSwitch);
        break;
    case IndexPairSwitch::Outcome::Mixed:
        Reporter(report, QLatin1String(IndexPairSwitch::ReadyFolder)).file(Problem::InterruptedSwitchMixed);
        break;
    default:
        break;
    }
    // The pair as the viewer reads it.
    TableFileReader::PairBytes pair = reader.readPairBytes(folder);
    const PageLines pages = checkFiles(report, reader, std::move(pair.files));
    checkWords(report, reader, std::move(pair.words), pages);
    return report;
}

} // namespace Tamberlyn::IndexTool
