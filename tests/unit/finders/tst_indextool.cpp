// tamberlyn-index as a course author runs it: a small course folder in, the
// two table files and the windows' lists out.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the tool; `faults` (see tst_indextool_faults.cpp) makes chosen file
// calls fail, `environment` adds variables.
Run runTool(const QStringList &arguments, const QString &faults = {},
            const QList<std::pair<QString, QString>> &environment = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!faults.isEmpty()) {
        env.insert(u"LD_PRELOAD"_s, QStringLiteral(TAMBERLYN_FAULTS));
        env.insert(u"TAMBERLYN_TEST_FAULTS"_s, faults);
        // Under the sanitizers the preloaded library comes before theirs.
        env.insert(u"ASAN_OPTIONS"_s, env.value(u"ASAN_OPTIONS"_s) + u":verify_asan_link_order=0"_s);
    }
    for (const auto &[name, value] : environment)
        env.insert(name, value);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TAMBERLYN_INDEX), arguments);
    Run run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// What the tool said, without the log lines of the library code it runs.
QString withoutLog(const QString &err)
{
    QStringList lines = err.split(u'\n');
    lines.removeIf([](const QString &line) { return line.startsWith(u"tamberlyn."_s); });
    return lines.join(u'\n');
}

// The largest resident size any finished child of this test reached, in
// MiB.
long childrenPeakMiB()
{
    rusage usage{};
    return ::getrusage(RUSAGE_CHILDREN, &usage) == 0 ? usage.ru_maxrss / 1024 : -1;
}

// Every file below a folder (links not followed) with its contents.
QMap<QString, QByteArray> treeOf(const QString &folder)
{
    QMap<QString, QByteArray> tree;
    const QDir dir(folder);
    for (const QFileInfo &entry : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                    | QDir::NoDotAndDotDot)) {
        if (entry.isSymLink())
            tree.insert(entry.fileName(), "-> " + QFile::encodeName(entry.symLinkTarget()));
        else if (entry.isDir())
            for (auto [name, bytes] : treeOf(entry.filePath()).asKeyValueRange())
                tree.insert(entry.fileName() + u'/' + name, bytes);
        else
            tree.insert(entry.fileName(), readFile(entry.filePath()));
    }
    return tree;
}

QByteArray page(const QByteArray &title, const QByteArray &body)
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title
        + "</title>\n<style>p { color: red }</style></head>\n<body>"
          "<nav class=\"pagenav\"><a href=\"kqa.vxp\">Section</a><a href=\"x\">Next</a></nav>\n"
        + body + "\n</body></html>\n";
}

} // namespace

class TestIndexTool final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void buildWritesTheExactTables();
    void theWindowsLists();
    void checkReportsEveryBrokenLine();
    void checkReportIsBounded();
    void limits();
    void aFailedBuildKeepsThePair();
    void pagesThatCannotBeReadFailTheBuild_data();
    void pagesThatCannotBeReadFailTheBuild();
    void linksInTheOutputFolderAreNeverFollowed_data();
    void linksInTheOutputFolderAreNeverFollowed();
    void pagesAreNeverReadThroughLinks();
    void aLongCompoundCostsItsLength();
    void anInterruptedSwitchIsReadAsTheNewPairAndFinishedFirst_data();
    void anInterruptedSwitchIsReadAsTheNewPairAndFinishedFirst();
    void aSwitchLeftMixedIsSaidPlainly();
    void commandLine();

private:
    // A second course (other pages, other numbering) and its index, and a
    // folder holding the index of the first: what a rebuild switches.
    QString otherIndex();

    QTemporaryDir m_dir;
    QString m_course;
    QString m_index;
    QString m_otherIndex;
};

void TestIndexTool::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_course = m_dir.filePath(u"course"_s);
    m_index = m_dir.filePath(u"index"_s);
    const QString kq = m_course + u"/kq_cbt/kq/"_s;
    QVERIFY(QDir().mkpath(kq));
    // Two content pages, a module stub, and pages that are not indexed.
    QVERIFY(writeFile(kq + u"kq010003.vxp"_s,
                      page("Cables &amp;\n  wires",
                           "<h1>Cable sizing</h1><p>A cable&#8217;s cross-section in mm\xc2\xb2: "
                           "<b>cab</b>le, CAF&Eacute; and grid-connected.</p>"
                           "<script>var hidden = 'secret';</script><!-- draft: secret -->"
                           "<p>Size the cable with care.</p>")));
    QVERIFY(writeFile(kq + u"kq010004.vxp"_s, page("Wiring", "<p>Wire, wires and WIRE. Cable.</p>")));
    QVERIFY(writeFile(kq + u"kq010001.vxp"_s, page("Module 1 - Basics", "<p>Opening module 1</p>")));
    // A page in Windows-1252, as older course pages are written.
    QVERIFY(writeFile(kq + u"kq020003.vxp"_s, "<title>Caf\xe9</title><p>Caf\xe9 wiring</p>"));
    QVERIFY(writeFile(kq + u"kqa.vxp"_s, page("Contents", "<p>contentsonly</p>")));
    QVERIFY(writeFile(kq + u"mod01a.vxp"_s, page("Module", "<p>moduleonly</p>")));
    QVERIFY(writeFile(kq + u"search.vxp"_s, page("Search", "<p>triggeronly</p>")));
    // A course without a single page to index: every build of it fails.
    QVERIFY(QDir().mkpath(m_dir.filePath(u"no-pages/kq_cbt/kq"_s)));
    QVERIFY(writeFile(m_dir.filePath(u"no-pages/kq_cbt/kq/kqa.vxp"_s), page("Contents", "<p>contents</p>")));

    const Run run = runTool({u"build"_s, m_course, m_index});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, u"files.vxp: 4 pages\nwords.vxp: 23 words\n"_s);
}

void TestIndexTool::buildWritesTheExactTables()
{
    QCOMPARE(readFile(m_index + u"/files.vxp"_s),
             QByteArray("1\tkq010001.vxp\tModule 1 - Basics\r\n"
                        "2\tkq010003.vxp\tCables & wires\r\n"
                        "3\tkq010004.vxp\tWiring\r\n"
                        "4\tkq020003.vxp\tCaf\xe9\r\n"));
    QCOMPARE(readFile(m_index + u"/words.vxp"_s),
             // Letter case aside, CAF\xc9 and Caf\xe9 are one word; a word ever
             // written in lower case is listed so; a compound is listed whole
             // and from each part on; words of one letter or digit are kept.
             QByteArray("1\t1\t\r\n"
                        "A\t2\t\r\n"
                        "and\t2\t3\t\r\n"
                        "cable\t2\t3\t\r\n"
                        "cable's\t2\t\r\n"
                        "CAF\xc9\t2\t4\t\r\n"
                        "care\t2\t\r\n"
                        "connected\t2\t\r\n"
                        "cross-section\t2\t\r\n"
                        "grid-connected\t2\t\r\n"
                        "in\t2\t\r\n"
                        "mm\t2\t\r\n"
                        "module\t1\t\r\n"
                        "Opening\t1\t\r\n"
                        "s\t2\t\r\n"
                        "section\t2\t\r\n"
                        "Size\t2\t\r\n"
                        "sizing\t2\t\r\n"
                        "the\t2\t\r\n"
                        "Wire\t3\t\r\n"
                        "wires\t3\t\r\n"
                        "wiring\t4\t\r\n"
                        "with\t2\t\r\n"));

    // The same course gives the same bytes.
    const QString again = m_dir.filePath(u"again"_s);
    QCOMPARE(runTool({u"build"_s, m_course + u"/kq_cbt/kq"_s, again}).exitCode, 0);
    QCOMPARE(readFile(again + u"/files.vxp"_s), readFile(m_index + u"/files.vxp"_s));
    QCOMPARE(readFile(again + u"/words.vxp"_s), readFile(m_index + u"/words.vxp"_s));

    const Run check = runTool({u"check"_s, m_index});
    QCOMPARE(check.exitCode, 0);
    QCOMPARE(check.out, u"files.vxp: 4 lines, words.vxp: 23 lines, no problems\n"_s);
}

void TestIndexTool::theWindowsLists()
{
    Run run = runTool({u"words"_s, m_index, u"  CA "_s});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, u"Found:  4 words\ncable \ncable's \nCAF\u00c9 \ncare \n"_s);

    run = runTool({u"search"_s, m_index, u"cab"_s});
    QCOMPARE(run.out, u"Found:  2 pages\nCables & wires \tkq010003.vxp\nWiring \tkq010004.vxp\n"_s);
    run = runTool({u"search"_s, m_index, u"caf wir"_s});
    QCOMPARE(run.out, u"Found:  1 pages\nCaf\u00e9 \tkq020003.vxp\n"_s);
    // Queries as the page shows them: hyphenated whole or in parts, either
    // apostrophe, two words where the page has one compound.
    const QString cablesPage = u"Found:  1 pages\nCables & wires \tkq010003.vxp\n"_s;
    for (const QString &query : {u"grid-connected"_s, u"GRID"_s, u"connected"_s, u"cable\u2019s"_s, u"cable's"_s,
                                 u"cross section"_s, u"grid\u2010connected a"_s})
        QCOMPARE(runTool({u"search"_s, m_index, query}).out, cablesPage);
    QCOMPARE(runTool({u"search"_s, m_index, u"1"_s}).out, u"Found:  1 pages\nModule 1 - Basics \tkq010001.vxp\n"_s);
    run = runTool({u"search"_s, m_index, u"   "_s});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QString());

    const QString history = m_dir.filePath(u"history.vxp"_s);
    QVERIFY(writeFile(history, "\"kq010004.vxp\"\r\n\"kqa.vxp\"\r\n\"kq010001.vxp\""));
    run = runTool({u"history"_s, m_index, history});
    QCOMPARE(run.out, u"Wiring\tkq010004.vxp\nModule 1 - Basics\tkq010001.vxp\n"_s);
    // Without a page table the raw lines show, quotes and all.
    run = runTool({u"history"_s, m_dir.filePath(u"course"_s), history});
    QCOMPARE(run.out, u"\"kq010004.vxp\"\t\n\"kqa.vxp\"\t\n\"kq010001.vxp\"\t\n"_s);
}

void TestIndexTool::checkReportsEveryBrokenLine()
{
    const QString broken = m_dir.filePath(u"broken"_s);
    QVERIFY(QDir().mkpath(broken));
    QVERIFY(writeFile(broken + u"/files.vxp"_s, "1\ta.vxp\tA\r\n"
                                                "\r\n"
                                                "x\tc.vxp\tC\r\n"
                                                "4\td.vxp\r\n"
                                                "9\te.vxp\tE\rX"
                                                "6\tf.vxp\tF"));
    QVERIFY(writeFile(broken + u"/words.vxp"_s, "ok\t1\t\r\n"
                                                "notab\r\n"
                                                "w\t0\t7\tx\t2\t1\r\n"
                                                "\t1\t\r\n"
                                                "none\t\r\n"));
    const Run run = runTool({u"check"_s, broken});
    QCOMPARE(run.exitCode, 1);
    const QStringList expected{
        u"files.vxp:2: blank line: no page, and the History window's table ends here"_s,
        u"files.vxp:3: number field \"x\" is not a 16-bit integer: the viewer stops reading files.vxp here"_s,
        u"files.vxp:4: no TAB between page file and title: the line holds no page"_s,
        u"files.vxp:5: CR not followed by LF (the character after it is lost)"_s,
        u"files.vxp:5: number field 9 is not the line number"_s,
        u"files.vxp:6: no CR LF at the end of the last line"_s,
        u"words.vxp:2: no TAB: the line holds no word"_s,
        u"words.vxp:3: file number 0 is out of range 1..6"_s,
        u"words.vxp:3: file number 7 is out of range 1..6"_s,
        u"words.vxp:3: file number \"x\" is not a decimal number"_s,
        u"words.vxp:3: file number 2 names a line of files.vxp without a page"_s,
        u"words.vxp:3: the last file number lacks its TAB"_s,
        u"words.vxp:4: empty word"_s,
        u"words.vxp:5: no file numbers"_s,
    };
    QCOMPARE(run.out.split(u'\n', Qt::SkipEmptyParts), expected);
    QCOMPARE(run.err, u"tamberlyn-index: 14 problems\n"_s);

    const Run missing = runTool({u"check"_s, m_course});
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(missing.out, u"files.vxp: missing\nwords.vxp: missing\n"_s);
}

void TestIndexTool::checkReportIsBounded()
{
    // A problem on every line: the first 100 in full, a long field cut
    // short, the rest counted by file and kind in the order first met; the
    // whole file's problems shown wherever they come.
    const QString flood = m_dir.filePath(u"flood"_s);
    QVERIFY(QDir().mkpath(flood));
    QVERIFY(writeFile(flood + u"/files.vxp"_s,
                      QByteArray(200, 'x') + "\tp.vxp\tP\r\n" + QByteArray("\r\n").repeated(12401) + "1\tp.vxp\tP"));
    QVERIFY(writeFile(flood + u"/words.vxp"_s, QByteArray("w\t0\t\r\n").repeated(3) + "notab\r\n"));
    const Run run = runTool({u"check"_s, flood});
    QCOMPARE(run.exitCode, 1);
    QStringList expected{u"files.vxp:1: number field \""_s + QString(60, u'x')
                         + u"...\" is not a 16-bit integer: the viewer stops reading files.vxp here"_s};
    for (int n = 2; n <= 100; ++n)
        expected.append(u"files.vxp:%1: blank line: no page, and the History window's table ends here"_s.arg(n));
    expected += QStringList{
        u"files.vxp: 12403 lines, more than 12400: the viewer reads the first 12400 and says \"Too many files!\""_s,
        u"and 12308 more problems, by file and kind:"_s,
        u"files.vxp: blank line: 12302 more"_s,
        u"files.vxp: no CR LF at the end: 1 more"_s,
        u"files.vxp: number field not the line number: 1 more"_s,
        u"words.vxp: file number out of range: 3 more"_s,
        u"words.vxp: no TAB: 1 more"_s,
    };
    QCOMPARE(run.out.split(u'\n', Qt::SkipEmptyParts), expected);
    QCOMPARE(run.err, u"tamberlyn-index: 12409 problems\n"_s);
}

void TestIndexTool::limits()
{
    // 12401 lines: the windows' message on standard error, the first 12400
    // words listed.
    const QString big = m_dir.filePath(u"big"_s);
    QVERIFY(QDir().mkpath(big));
    QVERIFY(writeFile(big + u"/words.vxp"_s, QByteArray("zz\t1\t\r\n").repeated(12401)));
    QVERIFY(writeFile(big + u"/files.vxp"_s, QByteArray("1\tp.vxp\tP\r\n").repeated(12401)));
    Run run = runTool({u"words"_s, big, u"zz"_s});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, u"Too many words!\n"_s);
    QVERIFY(run.out.startsWith(u"Found:  12400 words\n"_s));
    run = runTool({u"search"_s, big, u"zz"_s});
    QCOMPARE(run.err, u"Too many files!\nToo many words!\n"_s);
    QCOMPARE(run.out, u"Found:  1 pages\nP \tp.vxp\n"_s);

    // A course with more different words than a table holds is refused, and
    // nothing is written.
    const QString wordy = m_dir.filePath(u"wordy/kq_cbt/kq"_s);
    QVERIFY(QDir().mkpath(wordy));
    QByteArray text;
    for (char a = 'a'; a <= 'z'; ++a)
        for (char b = 'a'; b <= 'z'; ++b)
            for (char c = 'a'; c <= 's'; ++c)
                text += QByteArray(1, a) + b + c + ' ';
    QVERIFY(writeFile(wordy + u"/kq010003.vxp"_s, page("Words", text)));
    const QString out = m_dir.filePath(u"wordy-index"_s);
    run = runTool({u"build"_s, m_dir.filePath(u"wordy"_s), out});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, u"tamberlyn-index: more than 12400 different words (the first 12400 by kq010003.vxp), but "_s
                          u"words.vxp holds at most 12400; the index in "_s
                          + out + u" was left as it was\n"_s);
    QVERIFY(!QFile::exists(out + u"/words.vxp"_s));
    QVERIFY(!QFile::exists(out + u"/files.vxp"_s));

    // A table file over the size the viewer reads gives its over-limit
    // message too, not a silent empty list. (Sparse: no disk is used.)
    const QString huge = m_dir.filePath(u"huge"_s);
    QVERIFY(QDir().mkpath(huge));
    for (const QString &name : {u"words.vxp"_s, u"files.vxp"_s}) {
        QFile file(huge + u'/' + name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(257) * 1024 * 1024));
    }
    run = runTool({u"search"_s, huge, u"zz"_s});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(withoutLog(run.err), u"Too many files!\nToo many words!\n"_s);
    QCOMPARE(withoutLog(runTool({u"words"_s, huge, u"zz"_s}).err), u"Too many words!\n"_s);
    const QString history = m_dir.filePath(u"huge-history.vxp"_s);
    QVERIFY(writeFile(history, "\"kqb.vxp\"\r\n"));
    run = runTool({u"history"_s, huge, history});
    QCOMPARE(withoutLog(run.err), u"Too many files!\n"_s);
    QCOMPARE(run.out, u"\"kqb.vxp\"\t\n"_s);
}

void TestIndexTool::aFailedBuildKeepsThePair()
{
    // A folder with a working index: a build that fails leaves both files
    // as they were, byte for byte, and leaves nothing else behind.
    const QString out = m_dir.filePath(u"kept"_s);
    QCOMPARE(runTool({u"build"_s, m_course, out}).exitCode, 0);
    const QMap<QString, QByteArray> before = treeOf(out);
    QCOMPARE(before.keys(), (QStringList{u"files.vxp"_s, u"words.vxp"_s}));
    const QString empty = m_dir.filePath(u"no-pages/kq_cbt/kq"_s);
    const Run run = runTool({u"build"_s, m_dir.filePath(u"no-pages"_s), out});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, u"tamberlyn-index: no course pages (kqMMNNNN.vxp) in "_s + empty + u"; the index in "_s + out
                          + u" was left as it was\n"_s);
    QCOMPARE(treeOf(out), before);
}

void TestIndexTool::pagesThatCannotBeReadFailTheBuild_data()
{
    QTest::addColumn<QString>("faults");
    QTest::addColumn<QString>("reason");

    QTest::newRow("cannot be opened") << u"open:kq010004.vxp"_s << u"Permission denied"_s;
    // Half of the page read, then an error: indexing the half would drop
    // the rest of its words without a word said.
    QTest::newRow("read fails half way") << u"read:kq010004.vxp:40"_s << u"Input/output error"_s;
}

void TestIndexTool::pagesThatCannotBeReadFailTheBuild()
{
    QFETCH(QString, faults);
    QFETCH(QString, reason);
    const QString out = m_dir.filePath(u"unreadable-%1"_s.arg(QString::fromUtf8(QTest::currentDataTag())).replace(u' ', u'-'));
    QCOMPARE(runTool({u"build"_s, m_course, out}).exitCode, 0);
    const QMap<QString, QByteArray> before = treeOf(out);
    // The same course, one of whose pages fails.
    const Run run = runTool({u"build"_s, m_course, out}, faults);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, u"tamberlyn-index: cannot read "_s + m_course + u"/kq_cbt/kq/kq010004.vxp: "_s + reason
                          + u"; the index in "_s + out + u" was left as it was\n"_s);
    QCOMPARE(treeOf(out), before);
}

void TestIndexTool::linksInTheOutputFolderAreNeverFollowed_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("a staging folder") << u".tamberlyn-index-new-x"_s;
    QTest::newRow("the ready folder") << u".tamberlyn-index-ready"_s;
}

void TestIndexTool::linksInTheOutputFolderAreNeverFollowed()
{
    // A link where the tool keeps its own folders leads into someone's
    // files: the build touches neither the link nor what it leads to, and
    // says so; the folder's pair stays as it was.
    QFETCH(QString, name);
    const QString base = m_dir.filePath(u"links-%1"_s.arg(name));
    const QString projects = base + u"/projects"_s;
    QVERIFY(QDir().mkpath(projects + u"/src"_s));
    QVERIFY(writeFile(projects + u"/notes.txt"_s, "mine"));
    QVERIFY(writeFile(projects + u"/src/main.c"_s, "int main() {}"));
    QVERIFY(writeFile(projects + u"/files.vxp"_s, "not an index"));
    const QString out = base + u"/out"_s;
    QCOMPARE(runTool({u"build"_s, m_course, out}).exitCode, 0);
    QVERIFY(QFile::link(projects, out + u'/' + name));
    const QMap<QString, QByteArray> theirs = treeOf(projects);
    const QMap<QString, QByteArray> before = treeOf(out);

    const Run run = runTool({u"build"_s, m_course, out});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, u"tamberlyn-index: "_s + out + u'/' + name
                          + u" is a symbolic link, not a folder this tool made: it was left alone; remove it "_s
                            u"yourself; the index in "_s
                          + out + u" was left as it was\n"_s);
    QCOMPARE(treeOf(projects), theirs);
    QCOMPARE(treeOf(out), before);
    // check and the readers do not take a link for a switch either.
    QCOMPARE(runTool({u"check"_s, out}).exitCode, 0);
    QCOMPARE(runTool({u"search"_s, out, u"cab"_s}).out,
             u"Found:  2 pages\nCables & wires \tkq010003.vxp\nWiring \tkq010004.vxp\n"_s);
}

void TestIndexTool::pagesAreNeverReadThroughLinks()
{
    // A course folder from someone else: pages that are links to the
    // author's secrets. They are not read, and the build says which.
    const QString base = m_dir.filePath(u"linked-pages"_s);
    const QString kq = base + u"/course/kq_cbt/kq"_s;
    QVERIFY(QDir().mkpath(kq));
    QVERIFY(writeFile(kq + u"/kq010003.vxp"_s, page("Real", "<p>inverter</p>")));
    QVERIFY(writeFile(base + u"/netrc"_s, "<p>machine example.org password hunterpassword</p>"));
    QVERIFY(writeFile(kq + u"/kq010001.vxp"_s, page("Inside", "<p>insideonly</p>")));
    QVERIFY(QFile::link(base + u"/netrc"_s, kq + u"/kq010002.vxp"_s));
    QVERIFY(QFile::link(u"/proc/self/environ"_s, kq + u"/kq010004.vxp"_s));
    QVERIFY(QFile::link(u"kq010001.vxp"_s, kq + u"/kq010005.vxp"_s)); // even one that stays inside
    const QString out = base + u"/out"_s;
    const Run run = runTool({u"build"_s, base + u"/course"_s, out}, {},
                            {{u"TAMBERLYN_SECRET"_s, u"environsecret"_s}});
    QCOMPARE(run.exitCode, 0);
    const QString why = u": a symbolic link: not followed (the course server does not serve links either): not "_s
                        u"read\n"_s;
    QCOMPARE(run.err, u"tamberlyn-index: "_s + kq + u"/kq010002.vxp"_s + why + u"tamberlyn-index: "_s + kq
                          + u"/kq010004.vxp"_s + why + u"tamberlyn-index: "_s + kq + u"/kq010005.vxp"_s + why);
    QCOMPARE(readFile(out + u"/files.vxp"_s), QByteArray("1\tkq010001.vxp\tInside\r\n2\tkq010003.vxp\tReal\r\n"));
    const QByteArray words = readFile(out + u"/words.vxp"_s);
    QCOMPARE(words, QByteArray("insideonly\t1\t\r\ninverter\t2\t\r\n"));

    // Nor is the way to the pages followed when it is a link.
    const QString other = base + u"/other"_s;
    QVERIFY(QDir().mkpath(other));
    QVERIFY(QFile::link(base + u"/course/kq_cbt"_s, other + u"/kq_cbt"_s));
    const Run through = runTool({u"build"_s, other, base + u"/out2"_s});
    QCOMPARE(through.exitCode, 1);
    QVERIFY2(through.err.startsWith(u"tamberlyn-index: "_s + other + u"/kq_cbt is a symbolic link"_s),
             qPrintable(through.err));
}

void TestIndexTool::aLongCompoundCostsItsLength()
{
    // "a-a-a-...": a compound of sixteen thousand parts. Stored whole and
    // from each part on, it took half a gigabyte; each word is now cut
    // after its last whole part within 64 characters.
    const QString base = m_dir.filePath(u"compound"_s);
    QVERIFY(QDir().mkpath(base + u"/kq_cbt/kq"_s));
    QByteArray run = "a";
    while (run.size() < 32 * 1024)
        run += "-a";
    QVERIFY(writeFile(base + u"/kq_cbt/kq/kq010003.vxp"_s, page("Filler", "<p>" + run + " inverter-charger</p>")));
    const Run built = runTool({u"build"_s, base, base + u"/out"_s});
    QCOMPARE(built.exitCode, 0);
    const long peakMiB = childrenPeakMiB();
    QVERIFY2(peakMiB >= 0 && peakMiB < 200, qPrintable(u"peak %1 MiB"_s.arg(peakMiB)));
    // Whole and from each part on, 32 parts at most: "a", "a-a", ... (the
    // last parts of the run give the shorter ones).
    QByteArray expected;
    for (QByteArray word = "a"; word.size() <= 64; word += "-a")
        expected += word + "\t1\t\r\n";
    QCOMPARE(readFile(base + u"/out/words.vxp"_s), expected + "charger\t1\t\r\ninverter-charger\t1\t\r\n");
    QCOMPARE(runTool({u"search"_s, base + u"/out"_s, u"a-a-a charger"_s}).out,
             u"Found:  1 pages\nFiller \tkq010003.vxp\n"_s);
}

QString TestIndexTool::otherIndex()
{
    if (m_otherIndex.isEmpty()) {
        const QString kq = m_dir.filePath(u"other-course/kq_cbt/kq"_s);
        if (!QDir().mkpath(kq))
            return {};
        // One page more in front shifts every number by one.
        writeFile(kq + u"/kq010002.vxp"_s, page("New first", "<p>inverter</p>"));
        writeFile(kq + u"/kq010003.vxp"_s, page("New cables", "<p>cable inverter</p>"));
        writeFile(kq + u"/kq010004.vxp"_s, page("New wiring", "<p>wire</p>"));
        m_otherIndex = m_dir.filePath(u"other-index"_s);
        if (runTool({u"build"_s, m_dir.filePath(u"other-course"_s), m_otherIndex}).exitCode != 0)
            return {};
    }
    return m_otherIndex;
}

void TestIndexTool::anInterruptedSwitchIsReadAsTheNewPairAndFinishedFirst_data()
{
    QTest::addColumn<bool>("filesMoved");
    QTest::newRow("stopped after the commit") << false;
    QTest::newRow("stopped between the two renames") << true;
}

void TestIndexTool::anInterruptedSwitchIsReadAsTheNewPairAndFinishedFirst()
{
    // A build stopped half way through switching the other course's index
    // in over this one's: the new pair is complete in the ready folder, and
    // files.vxp may already be in place beside the old words.vxp.
    QFETCH(bool, filesMoved);
    const QString other = otherIndex();
    QVERIFY(!other.isEmpty());
    const QString out = m_dir.filePath(u"interrupted-%1"_s.arg(int(filesMoved)));
    QCOMPARE(runTool({u"build"_s, m_course, out}).exitCode, 0);
    const QString ready = out + u"/.tamberlyn-index-ready"_s;
    QVERIFY(QDir().mkpath(ready));
    QVERIFY(writeFile(ready + u"/words.vxp"_s, readFile(other + u"/words.vxp"_s)));
    QVERIFY(writeFile((filesMoved ? out : ready) + u"/files.vxp"_s, readFile(other + u"/files.vxp"_s)));

    // What every reader sees is the new pair, never the mix.
    QCOMPARE(runTool({u"search"_s, out, u"inverter"_s}).out,
             u"Found:  2 pages\nNew first \tkq010002.vxp\nNew cables \tkq010003.vxp\n"_s);
    QCOMPARE(runTool({u"search"_s, out, u"cable inverter"_s}).out, u"Found:  1 pages\nNew cables \tkq010003.vxp\n"_s);
    QCOMPARE(runTool({u"words"_s, out, u"inv"_s}).out, u"Found:  1 words\ninverter \n"_s);
    const Run check = runTool({u"check"_s, out});
    QCOMPARE(check.exitCode, 1);
    QVERIFY2(check.out.startsWith(filesMoved ? u".tamberlyn-index-ready: a build was interrupted half way"_s
                                             : u".tamberlyn-index-ready: a build was interrupted after its commit"_s),
             qPrintable(check.out));
    QCOMPARE(check.err, u"tamberlyn-index: 1 problems\n"_s);

    // The next build finishes that switch before anything else, even one
    // that then fails: the folder then holds the new pair, in place.
    const Run next = runTool({u"build"_s, m_dir.filePath(u"no-pages"_s), out});
    QCOMPARE(next.exitCode, 1);
    QVERIFY2(next.err.startsWith(u"tamberlyn-index: finished the switch an earlier build left half done in "_s + out),
             qPrintable(next.err));
    QCOMPARE(treeOf(out), treeOf(other));
}

void TestIndexTool::aSwitchLeftMixedIsSaidPlainly()
{
    // The second rename fails: the folder's own files are one new, one old.
    // The tool says so in as many words; readers still get the new pair;
    // the next build puts it in place.
    const QString other = otherIndex();
    QVERIFY(!other.isEmpty());
    const QString out = m_dir.filePath(u"left-mixed"_s);
    QCOMPARE(runTool({u"build"_s, m_course, out}).exitCode, 0);
    const QByteArray oldWords = readFile(out + u"/words.vxp"_s);
    const Run run = runTool({u"build"_s, m_dir.filePath(u"other-course"_s), out}, u"rename:words.vxp"_s);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, u"tamberlyn-index: cannot move the new words.vxp into place: Input/output error; "_s + out
                          + u" is left MIXED: its files.vxp is the new one and its words.vxp the old one, which do "_s
                            u"not belong together. The viewer still reads the new pair (words.vxp from "_s
                          + out + u"/.tamberlyn-index-ready); anything else reading "_s + out
                          + u" does not. The next build into "_s + out + u" finishes the switch\n"_s);
    QCOMPARE(readFile(out + u"/files.vxp"_s), readFile(other + u"/files.vxp"_s));
    QCOMPARE(readFile(out + u"/words.vxp"_s), oldWords);
    QCOMPARE(runTool({u"search"_s, out, u"inverter"_s}).out,
             u"Found:  2 pages\nNew first \tkq010002.vxp\nNew cables \tkq010003.vxp\n"_s);
    QCOMPARE(runTool({u"build"_s, m_dir.filePath(u"other-course"_s), out}).exitCode, 0);
    QCOMPARE(treeOf(out), treeOf(other));
}

void TestIndexTool::commandLine()
{
    QCOMPARE(runTool({}).exitCode, 2);
    QCOMPARE(runTool({u"search"_s, m_index}).exitCode, 2);
    QVERIFY(runTool({u"--help"_s}).out.startsWith(u"Usage: tamberlyn-index"_s));
    const Run notAFolder = runTool({u"words"_s, m_dir.filePath(u"nowhere"_s), u"x"_s});
    QCOMPARE(notAFolder.exitCode, 2);
    QVERIFY(notAFolder.err.contains(u"is not a folder"_s));
    QCOMPARE(runTool({u"build"_s, m_dir.filePath(u"index"_s), m_dir.filePath(u"empty-out"_s)}).exitCode, 1);
}

QTEST_GUILESS_MAIN(TestIndexTool)
#include "tst_indextool.moc"
