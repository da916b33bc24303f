#include "indexcommands.h"

#include "courseindex.h"
#include "coursepages.h"
#include "htmlpage.h"
#include "indexfiles.h"
#include "indexpairswitch.h"
#include "tablecheck.h"

#include "finders/finderfiles.h"
#include "history/historyloader.h"
#include "tables/tablefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace Tamberlyn::IndexTool {

namespace {

// The --help text; the manual page lists the same commands, options and
// exit codes.
const char Usage[] =
    "Usage: tamberlyn-index COMMAND ARGUMENTS\n"
    "\n"
    "Commands:\n"
    "  build COURSE_DIR OUT_DIR     write words.vxp and files.vxp for a course\n"
    "  check DIR                    report what in DIR's index files breaks their format\n"
    "  words DIR TEXT               what the Index window lists for the entry TEXT\n"
    "  search DIR QUERY             what the Search window lists for QUERY\n"
    "  history DIR HISTORY_FILE     what the History window lists for a history file\n"
    "\n"
    "DIR is the folder holding words.vxp and files.vxp (the viewer's program folder,\n"
    "or /usr/share/tamberlyn when installed).\n"
    "\n"
    "Options:\n"
    "  -h, --help                   show this help and exit\n"
    "  --version                    show the version and exit\n"
    "\n"
    "Exit status:\n"
    "  0   done (check: no problems)\n"
    "  1   build failed (the index is as it was), or check found problems\n"
    "  2   a wrong command line, or a folder named is not a folder\n";

} // namespace

IndexCommands::IndexCommands(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{
}

int IndexCommands::run(const QStringList &arguments)
{
    const QString command = arguments.value(0);
    const qsizetype count = arguments.size() - 1;
    if (command == u"build" && count == 2)
        return build(arguments.at(1), arguments.at(2));
    if (command == u"check" && count == 1)
        return check(arguments.at(1));
    if (command == u"words" && count == 2)
        return words(arguments.at(1), arguments.at(2));
    if (command == u"search" && count == 2)
        return search(arguments.at(1), arguments.at(2));
    if (command == u"history" && count == 2)
        return history(arguments.at(1), arguments.at(2));
    if (count == 0 && (command == u"--help" || command == u"-h" || command == u"help"))
        return usage(0);
    if (count == 0 && command == u"--version") {
        m_out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    return usage(2);
}

int IndexCommands::usage(int exitCode)
{
    (exitCode == 0 ? m_out : m_err) << QLatin1String(Usage);
    return exitCode;
}

int IndexCommands::fail(const QString &problem, int exitCode)
{
    m_err << "tamberlyn-index: " << problem << '\n';
    return exitCode;
}

bool IndexCommands::isFolder(const QString &dir)
{
    if (QFileInfo(dir).isDir())
        return true;
    fail(QStringLiteral("%1 is not a folder").arg(dir), 2);
    return false;
}

void IndexCommands::showMessages(const QList<Tables::TableMessage> &messages)
{
    for (const Tables::TableMessage message : messages)
        m_err << Tables::messageText(message) << '\n';
}

int IndexCommands::build(const QString &courseDir, const QString &outDir)
{
    if (!isFolder(courseDir))
        return 2;
    // Every failure before the switch leaves the folder's index as it was,
    // and says so: an author who rebuilds a served course must know whether
    // the learners still have the old index.
    const auto failed = [&](const QString &problem) {
        return fail(problem + QStringLiteral("; the index in %1 was left as it was").arg(outDir));
    };
    IndexPairSwitch pair(outDir);
    // Before anything else, a switch an earlier build left half done: until
    // it is finished, only the viewer knows which files belong together.
    const IndexPairSwitch::Result earlier = pair.finishInterrupted();
    if (!earlier.error.isEmpty())
        return switchFailed(earlier, outDir);
    if (earlier.finishedEarlierSwitch)
        m_err << "tamberlyn-index: finished the switch an earlier build left half done in " << outDir
              << ": its index is now in place\n";

    CoursePages pages;
    QString error;
    if (!pages.open(courseDir, &error))
        return failed(error);
    // Links are never followed: a page that is one could lead anywhere, the
    // author's secrets included. Said, so no page goes missing unnoticed.
    for (const CoursePages::Skipped &skipped : pages.skipped())
        m_err << "tamberlyn-index: " << QDir(pages.folder()).filePath(skipped.name) << ": " << skipped.why
              << ": not read\n";
    const QStringList &names = pages.pages();
    if (names.isEmpty())
        return failed(QStringLiteral("no course pages (kqMMNNNN.vxp) in %1").arg(pages.folder()));
    if (names.size() > Tables::MaxTableLines)
        return failed(
            QStringLiteral("%1 pages, but files.vxp holds at most %2").arg(names.size()).arg(Tables::MaxTableLines));

    CourseIndex index;
    for (const QString &name : names) {
        const std::optional<QByteArray> bytes = pages.read(name, &error);
        if (!bytes)
            return failed(error);
        index.addPage(name, HtmlPage::parse(HtmlPage::decode(*bytes)));
        // The build fails here anyway; reading on would only cost memory.
        if (index.tooManyWords())
            return failed(QStringLiteral("more than %1 different words (the first %1 by %2), but words.vxp "
                                         "holds at most %1")
                              .arg(Tables::MaxTableLines)
                              .arg(name));
    }

    const Tables::CodePage codePage = Tables::CodePage::windows1252();
    const QByteArray filesBytes = filesVxp(index.files(), codePage);
    const QByteArray wordsBytes = wordsVxp(index.words(), codePage);
    for (const auto &[name, bytes] : {std::pair{Tables::FilesFileName, &filesBytes},
                                      std::pair{Tables::WordsFileName, &wordsBytes}}) {
        if (bytes->size() > Tables::TableFileReader::MaxFileBytes)
            return failed(QStringLiteral("%1 would be %2 bytes, more than the viewer reads (%3)")
                              .arg(QLatin1String(name))
                              .arg(bytes->size())
                              .arg(Tables::TableFileReader::MaxFileBytes));
    }
    const IndexPairSwitch::Result switched = pair.replace(filesBytes, wordsBytes);
    if (!switched.error.isEmpty())
        return switchFailed(switched, outDir);
    for (const QString &leftover : switched.leftovers)
        m_err << "tamberlyn-index: could not remove " << leftover << " (left by another build)\n";
    reportUnwritable(index, codePage);
    m_out << Tables::FilesFileName << ": " << index.pageCount() << " pages\n"
          << Tables::WordsFileName << ": " << index.wordCount() << " words\n";
    return 0;
}

int IndexCommands::switchFailed(const IndexPairSwitch::Result &result, const QString &outDir)
{
    const QString ready = QDir(outDir).filePath(QLatin1String(IndexPairSwitch::ReadyFolder));
    switch (result.outcome) {
    case IndexPairSwitch::Outcome::Untouched:
        return fail(result.error + QStringLiteral("; the index in %1 was left as it was").arg(outDir));
    case IndexPairSwitch::Outcome::Committed:
        return fail(result.error
                    + QStringLiteral("; the new index is complete in %1, and the viewer reads it from there; %2 "
                                     "itself still holds the old pair, whole; the next build into %2 switches "
                                     "the new one in")
                          .arg(ready, outDir));
    case IndexPairSwitch::Outcome::Mixed:
        return fail(result.error
                    + QStringLiteral("; %1 is left MIXED: its files.vxp is the new one and its words.vxp the "
                                     "old one, which do not belong together. The viewer still reads the new "
                                     "pair (words.vxp from %2); anything else reading %1 does not. The next "
                                     "build into %1 finishes the switch")
                          .arg(outDir, ready));
    case IndexPairSwitch::Outcome::Switched:
        break;
    }
    return fail(result.error + QStringLiteral("; the new index is in place in %1, but may not be safe on disk yet")
                                   .arg(outDir));
}

void IndexCommands::reportUnwritable(const CourseIndex &index, const Tables::CodePage &codePage)
{
    for (const CourseIndex::Unwritable &page : index.unwritable()) {
        if (!page.title.isEmpty())
            m_err << "tamberlyn-index: " << page.pageFile << ": the title \"" << page.title << "\" has characters "
                  << "outside " << codePage.name() << "; written as \"" << page.writtenTitle << "\"\n";
        if (page.wordCount == 0)
            continue;
        m_err << "tamberlyn-index: " << page.pageFile << ": left out " << page.wordCount
              << (page.wordCount == 1 ? " word" : " words") << " with characters outside " << codePage.name()
              << ": " << page.words.join(QStringLiteral(", "))
              << (page.wordCount > page.words.size() ? QStringLiteral(", ...") : QString()) << '\n';
    }
}

int IndexCommands::check(const QString &dir)
{
    if (!isFolder(dir))
        return 2;
    const CheckReport report = checkIndexFolder(dir, m_reader);
    for (const QString &problem : report.shown)
        m_out << problem << '\n';
    if (!report.notShown.isEmpty()) {
        m_out << "and " << report.problemCount - report.shown.size() << " more problems, by file and kind:\n";
        for (const CheckReport::Tally &tally : report.notShown)
            m_out << tally.file << ": " << tally.kind << ": " << tally.count << " more\n";
    }
    if (report.problemCount > 0) {
        m_err << "tamberlyn-index: " << report.problemCount << " problems\n";
        return 1;
    }
    m_out << Tables::FilesFileName << ": " << report.fileLines << " lines, " << Tables::WordsFileName << ": "
          << report.wordLines << " lines, no problems\n";
    return 0;
}

int IndexCommands::words(const QString &dir, const QString &text)
{
    if (!isFolder(dir))
        return 2;
    const Finders::LoadedWordIndex loaded = Finders::loadWordIndex(m_reader, dir);
    showMessages(loaded.messages);
    const Finders::Narrowing narrowed = loaded.index.narrow(text);
    m_out << narrowed.label << '\n';
    for (const QString &entry : narrowed.entries)
        m_out << entry << '\n';
    return 0;
}

int IndexCommands::search(const QString &dir, const QString &query)
{
    if (!isFolder(dir))
        return 2;
    const Finders::LoadedSearchIndex loaded = Finders::loadSearchIndex(m_reader, dir);
    showMessages(loaded.messages);
    const auto result = loaded.index.search(query);
    if (!result)
        return 0;
    m_out << result->label() << '\n';
    for (qsizetype k = 0; k < result->count(); ++k)
        m_out << result->entries.at(k) << '\t' << result->resultFiles.at(k) << '\n';
    return 0;
}

int IndexCommands::history(const QString &dir, const QString &historyFile)
{
    if (!isFolder(dir))
        return 2;
    const History::HistoryLoad load =
        History::HistoryLoader(m_reader).LoadHist(historyFile, Tables::filesFilePath(dir));
    showMessages(load.messages);
    for (const History::HistoryItem &item : load.items)
        m_out << item.text << '\t' << item.pageToOpen() << '\n';
    return 0;
}

} // namespace Tamberlyn::IndexTool
