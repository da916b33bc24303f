#include "tablecheck.h"

#include "indexpairswitch.h"

#include "tables/tablefiles.h"
#include "tables/numberfields.h"
#include "tables/tablelines.h"
#include "tables/textrules.h"

#include <limits>

namespace Tamberlyn::IndexTool {

namespace {

using namespace Tables;

constexpr qsizetype Unlimited = std::numeric_limits<qsizetype>::max();

class Reporter
{
public:
    Reporter(QStringList &problems, const char *fileName)
        : m_problems(problems)
        , m_fileName(QLatin1String(fileName))
    {
    }

    void file(const QString &problem) { m_problems.append(m_fileName + u": " + problem); }
    void line(qsizetype n, const QString &problem)
    {
        m_problems.append(m_fileName + u':' + QString::number(n) + u": " + problem);
    }

    // The line end and the limit, which both files share.
    void lineEnd(qsizetype n, const TextLine &line)
    {
        if (line.text.contains(u'\n'))
            this->line(n, QStringLiteral("LF without CR inside the line"));
        switch (line.end) {
        case LineEnd::CrLf:
            break;
        case LineEnd::CrOther:
            this->line(n, QStringLiteral("CR not followed by LF (the character after it is lost)"));
            break;
        case LineEnd::CrAtEnd:
            this->line(n, QStringLiteral("CR without LF at the end of the file"));
            break;
        case LineEnd::None:
            this->line(n, QStringLiteral("no CR LF at the end of the last line"));
            break;
        }
    }

    void limit(qsizetype lines, TableMessage message)
    {
        if (lines > MaxTableLines)
            file(QStringLiteral("%1 lines, more than %2: the viewer reads the first %2 and says \"%3\"")
                     .arg(lines)
                     .arg(MaxTableLines)
                     .arg(messageText(message)));
    }

private:
    QStringList &m_problems;
    QString m_fileName;
};

bool readable(Reporter &report, const FileText &file)
{
    if (file.end == ReadEnd::Missing)
        report.file(QStringLiteral("missing"));
    else if (file.end == ReadEnd::TooBig)
        report.file(QStringLiteral("larger than %1 bytes: the viewer does not read it")
                        .arg(TableFileReader::MaxFileBytes));
    else if (file.end != ReadEnd::Complete)
        report.file(QStringLiteral("cannot be read"));
    return file.end == ReadEnd::Complete;
}

// Checks "files.vxp"; gives, by line number, whether the line holds a page
// (nothing at all when the file could not be read).
QList<bool> checkFiles(QStringList &problems, const FileText &file, qsizetype *lineCount)
{
    Reporter report(problems, FilesFileName);
    if (!readable(report, file))
        return {};
    QList<bool> holdsPage{false};
    const CutText cut = cutLines(file.text, Unlimited);
    *lineCount = cut.lines.size();
    for (qsizetype n = 1; n <= cut.lines.size(); ++n) {
        const TextLine &line = cut.lines.at(n - 1);
        report.lineEnd(n, line);
        holdsPage.append(false);
        const qsizetype tab = line.text.indexOf(u'\t');
        if (tab < 0) {
            report.line(n, line.text.isEmpty()
                               ? QStringLiteral("blank line: no page, and the History window's table ends here")
                               : QStringLiteral("no TAB: the line holds no page"));
            continue;
        }
        const QStringView number = line.text.first(tab);
        if (!isInt16Field(number)) {
            report.line(n, QStringLiteral("number field \"%1\" is not a 16-bit integer: the viewer stops "
                                          "reading files.vxp here")
                               .arg(number));
            continue;
        }
        if (trimSpaces(number).toInt() != n)
            report.line(n, QStringLiteral("number field %1 is not the line number").arg(trimSpaces(number)));
        const QStringView rest = line.text.sliced(tab + 1);
        const qsizetype secondTab = rest.indexOf(u'\t');
        if (secondTab < 0) {
            report.line(n, QStringLiteral("no TAB between page file and title: the line holds no page"));
            continue;
        }
        if (trimSpaces(rest.first(secondTab)).isEmpty()) {
            report.line(n, QStringLiteral("empty page file: no page, and the History window's table ends here"));
            continue;
        }
        holdsPage.last() = true;
    }
    report.limit(cut.lines.size(), TableMessage::TooManyFiles);
    return holdsPage;
}

void checkWords(QStringList &problems, const FileText &file, const QList<bool> &holdsPage, qsizetype *lineCount)
{
    Reporter report(problems, WordsFileName);
    if (!readable(report, file))
        return;
    const CutText cut = cutLines(file.text, Unlimited);
    *lineCount = cut.lines.size();
    // Without "files.vxp" the numbers can only be held to the table size.
    const bool pagesKnown = !holdsPage.isEmpty();
    const qsizetype pageLines = pagesKnown ? std::min(holdsPage.size() - 1, MaxTableLines) : MaxTableLines;
    for (qsizetype n = 1; n <= cut.lines.size(); ++n) {
        const TextLine &line = cut.lines.at(n - 1);
        report.lineEnd(n, line);
        const qsizetype tab = line.text.indexOf(u'\t');
        if (tab < 0) {
            report.line(n, QStringLiteral("no TAB: the line holds no word"));
            continue;
        }
        if (trimSpaces(line.text.first(tab)).isEmpty())
            report.line(n, QStringLiteral("empty word"));
        const QList<FileListField> fields = fileListFields(line.text.sliced(tab + 1));
        if (fields.isEmpty())
            report.line(n, QStringLiteral("no file numbers"));
        for (const FileListField &field : fields) {
            const auto f = fileNumber(field.text);
            if (!f) {
                bool decimal = !field.text.isEmpty();
                for (const QChar c : field.text)
                    decimal = decimal && c >= u'0' && c <= u'9';
                report.line(n, decimal ? QStringLiteral("file number %1 is out of range 1..%2")
                                             .arg(field.text)
                                             .arg(pageLines)
                                       : QStringLiteral("file number \"%1\" is not a decimal number").arg(field.text));
            } else if (!pagesKnown) {
                // Nothing more to hold it to.
            } else if (*f > pageLines) {
                report.line(n, QStringLiteral("file number %1 is out of range 1..%2").arg(*f).arg(pageLines));
            } else if (!holdsPage.at(*f)) {
                report.line(n, QStringLiteral("file number %1 names a line of files.vxp without a page").arg(*f));
            }
            if (!field.tabbed)
                report.line(n, QStringLiteral("the last file number lacks its TAB"));
        }
    }
    report.limit(cut.lines.size(), TableMessage::TooManyWords);
}

} // namespace

CheckReport checkIndexFolder(const QString &folder, const TableFileReader &reader)
{
    CheckReport report;
    if (IndexPairSwitch::isPending(folder))
        report.problems.append(QStringLiteral("%1: a build was interrupted while it switched in the new index: the "
                                              "two files may not belong together; the next build finishes it")
                                   .arg(QLatin1String(IndexPairSwitch::ReadyFolder)));
    const QList<bool> holdsPage = checkFiles(report.problems, reader.readText(filesFilePath(folder)),
                                             &report.fileLines);
    checkWords(report.problems, reader.readText(wordsFilePath(folder)), holdsPage, &report.wordLines);
    return report;
}

} // namespace Tamberlyn::IndexTool
