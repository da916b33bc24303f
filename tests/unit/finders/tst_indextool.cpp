// tamberlyn-index as a course author runs it: a small course folder in, the
// two table files and the windows' lists out.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runTool(const QStringList &arguments)
{
    QProcess process;
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
    void commandLine();

private:
    QTemporaryDir m_dir;
    QString m_course;
    QString m_index;
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
    QCOMPARE(run.err, u"tamberlyn-index: 12844 different words, but words.vxp holds at most 12400; the index in "_s
                          + out + u" was left as it was\n"_s);
    QVERIFY(!QFile::exists(out + u"/words.vxp"_s));
    QVERIFY(!QFile::exists(out + u"/files.vxp"_s));
}

void TestIndexTool::aFailedBuildKeepsThePair()
{
    // A folder with a working index: a build that fails leaves both files
    // as they were, byte for byte, and leaves nothing else behind.
    const QString out = m_dir.filePath(u"kept"_s);
    QCOMPARE(runTool({u"build"_s, m_course, out}).exitCode, 0);
    const QByteArray files = readFile(out + u"/files.vxp"_s);
    const QByteArray words = readFile(out + u"/words.vxp"_s);
    const QString unreadable = m_dir.filePath(u"unreadable/kq_cbt/kq"_s);
    QVERIFY(QDir().mkpath(unreadable + u"/kq010003.vxp"_s)); // a folder where a page should be
    const Run run = runTool({u"build"_s, m_dir.filePath(u"unreadable"_s), out});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.endsWith(u"; the index in "_s + out + u" was left as it was\n"_s), qPrintable(run.err));
    QCOMPARE(readFile(out + u"/files.vxp"_s), files);
    QCOMPARE(readFile(out + u"/words.vxp"_s), words);
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{u"files.vxp"_s, u"words.vxp"_s}));

    // A switch cut short after its commit (the new pair complete in the
    // ready folder, one file already in place): check says so, and the next
    // build finishes it before its own.
    const QString ready = out + u"/.tamberlyn-index-ready"_s;
    QVERIFY(QDir().mkpath(ready));
    QVERIFY(writeFile(ready + u"/words.vxp"_s, "new\t1\t\r\n"));
    QVERIFY(writeFile(out + u"/files.vxp"_s, "1\tkq010003.vxp\tNew\r\n"));
    const Run check = runTool({u"check"_s, out});
    QCOMPARE(check.exitCode, 1);
    QVERIFY(check.out.startsWith(u".tamberlyn-index-ready: a build was interrupted"_s));
    QCOMPARE(runTool({u"build"_s, m_course, out}).exitCode, 0);
    QVERIFY(!QFile::exists(ready));
    QCOMPARE(readFile(out + u"/files.vxp"_s), files);
    QCOMPARE(readFile(out + u"/words.vxp"_s), words);
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
