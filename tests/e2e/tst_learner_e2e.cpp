#include "e2eharness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The engine's first start on a busy machine is slow; later pages are not.
constexpr int FirstPageTimeoutMs = 120000;
constexpr int PageTimeoutMs = 30000;

const QString MainWindow = u"^Tamberlyn( - Module [0-9]+)?$"_s;
const QString ThirdPage = u"kq010003.vxp"_s;
const QString ThirdTitle = u"Module 1 - What a PV system does"_s;
const QString Note = u"check the inverter rating"_s;

// A viewer on the demo course, driven with xdotool, read from its log.
class Viewer final
{
public:
    Viewer(E2eHarness &harness, QProcess *process)
        : m_harness(harness)
        , m_process(process)
    {
    }

    // Until the contents page made for a 1280 x 1024 screen is there.
    bool waitForContents()
    {
        return waitForLine(u"document complete: .*/kqd\\.vxp"_s, 0, FirstPageTimeoutMs).has_value() && find();
    }

    bool find()
    {
        m_window = m_harness.findWindow(MainWindow, 30000);
        return !m_window.isEmpty() || fail(u"no course window"_s);
    }

    QString window() const { return m_window; }
    QProcess *process() const { return m_process; }

    bool keys(const QStringList &keys, const QString &window = {})
    {
        const QString target = window.isEmpty() ? m_window : window;
        if (!xdotool({u"windowactivate"_s, u"--sync"_s, target}))
            return false;
        for (const QString &key : keys) {
            if (!xdotool({u"key"_s, u"--delay"_s, u"80"_s, key}))
                return false;
        }
        return true;
    }

    bool type(const QString &text) { return xdotool({u"type"_s, u"--delay"_s, u"40"_s, text}); }

    bool xdotool(const QStringList &arguments)
    {
        return m_harness.runOnDisplay(u"xdotool"_s, arguments) || fail(m_harness.error());
    }

    // Waits for a log line matching `pattern` after the first `after` characters of the log.
    std::optional<QRegularExpressionMatch> waitForLine(const QString &pattern, qsizetype after = 0,
                                                       int timeoutMs = PageTimeoutMs)
    {
        auto match = E2eHarness::waitForMatch(m_process, pattern, after, timeoutMs);
        if (!match)
            fail(u"no line matching \"%1\" in the viewer's log"_s.arg(pattern));
        return match;
    }

    qsizetype logSize() const { return E2eHarness::output(m_process).size(); }
    QString log() const { return E2eHarness::output(m_process); }

    // A page turn with Page Down, waited for to the page shown.
    bool nextPage(const QString &expectedPage)
    {
        const qsizetype before = logSize();
        return keys({u"Next"_s})
               && waitForLine(u"document complete: .*/"_s + QRegularExpression::escape(expectedPage), before);
    }

    void kill()
    {
        ::kill(pid_t(m_process->processId()), SIGKILL);
        m_process->waitForFinished(10000);
    }

    bool fail(const QString &problem)
    {
        m_problem = problem;
        return false;
    }

    QString problem() const
    {
        return m_problem + u"\n--- viewer log ---\n"_s + E2eHarness::viewerLines(m_process);
    }

private:
    E2eHarness &m_harness;
    QProcess *m_process;
    QString m_window;
    QString m_problem;
};

QProcessEnvironment environmentWith(const E2eHarness &harness, const QString &zoom)
{
    QProcessEnvironment env = harness.viewerEnvironment();
    env.insert(u"TAMBERLYN_ZOOM"_s, zoom);
    // The commits too: a test must know what reached the disk before it kills.
    env.insert(u"QT_LOGGING_RULES"_s, u"tamberlyn.*.info=true;tamberlyn.learner.debug=true"_s);
    return env;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Pixels of the read marks' green tick in a screenshot.
qsizetype tickPixels(const QImage &shot)
{
    qsizetype count = 0;
    for (int y = 24; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb p = shot.pixel(x, y);
            count += (qAbs(qRed(p) - 0x2e) < 30 && qAbs(qGreen(p) - 0x7d) < 30 && qAbs(qBlue(p) - 0x32) < 30) ? 1 : 0;
        }
    }
    return count;
}

} // namespace

// A learner's course across days on the real viewer and the demo course:
// three pages read, a kill, a start with another zoom, the continue bar
// naming the third page and Continue opening it at the same spot; the read
// marks and module counts on the contents page; a bookmark with a note
// surviving a restart, found by the Search window and exported to a file;
// a damaged record moved aside with the message; a read-only data folder
// leaving the course working. The functions run in order on one data folder.
class TestLearnerEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void continuesWhereTheLearnerLeftOffAfterAKill();
    void bookmarksAndNotesSurviveARestartAndExport();
    void damagedRecordIsMovedAsideWithAMessage();
    void readOnlyDataFolderLeavesTheCourseWorking();

private:
    E2eHarness m_harness;
    QString m_spot; // the quote and occurrence of the spot saved on the third page
};

void TestLearnerEndToEnd::initTestCase()
{
    QVERIFY2(m_harness.startDisplay({1280, 1024}, true), qPrintable(m_harness.error()));
    QVERIFY2(m_harness.startCourseServer(), qPrintable(m_harness.error()));
}

void TestLearnerEndToEnd::continuesWhereTheLearnerLeftOffAfterAKill()
{
    {
        Viewer viewer(m_harness, m_harness.startViewer({}, environmentWith(m_harness, u"200"_s)));
        QVERIFY2(viewer.waitForContents(), qPrintable(viewer.problem()));
        // Three pages: module 1's opening page, its objectives, its first page.
        QVERIFY2(viewer.nextPage(u"mod01d.vxp"_s), qPrintable(viewer.problem()));
        QVERIFY2(viewer.nextPage(u"obj01d.vxp"_s), qPrintable(viewer.problem()));
        QVERIFY2(viewer.nextPage(ThirdPage), qPrintable(viewer.problem()));
        // Down the page with the wheel, to a spot the record takes.
        const qsizetype before = viewer.logSize();
        QVERIFY(viewer.xdotool({u"mousemove"_s, u"--window"_s, viewer.window(), u"600"_s, u"500"_s}));
        QVERIFY(viewer.xdotool({u"click"_s, u"--repeat"_s, u"12"_s, u"--delay"_s, u"80"_s, u"5"_s}));
        const QString spotLine =
            u"committed: .*spot kq010003\\.vxp \\{\"fraction\":[^,]*,\"occurrence\":(\\d+),\"quote\":\"([^\"]+)\""_s;
        QVERIFY2(viewer.waitForLine(spotLine, before), qPrintable(viewer.problem()));
        // The spot once the page has come to rest: the last one saved.
        QTest::qWait(3000);
        QRegularExpressionMatch saved;
        for (auto it = QRegularExpression(spotLine).globalMatch(viewer.log(), before); it.hasNext();)
            saved = it.next();
        m_spot = saved.captured(2) + u" #"_s + saved.captured(1);
        // Below the page's first lines, not at its top.
        QVERIFY2(!m_spot.startsWith(u"Module 1 \u00b7"_s), qPrintable(m_spot));
        qInfo("spot saved: %s", qPrintable(m_spot));
        // Nothing to offer on the very first run; asked only now, long
        // after the record opened.
        QVERIFY(!viewer.log().contains(u"continue offered"_s));
        viewer.kill();
    }

    // Another day, another zoom.
    Viewer viewer(m_harness, m_harness.startViewer({}, environmentWith(m_harness, u"150"_s)));
    QVERIFY2(viewer.waitForContents(), qPrintable(viewer.problem()));
    QVERIFY2(viewer.waitForLine(u"continue offered: kq010003\\.vxp"_s), qPrintable(viewer.problem()));
    QVERIFY2(viewer.waitForLine(u"bar: Continue where you left off: "_s + QRegularExpression::escape(ThirdTitle)),
             qPrintable(viewer.problem()));
    // The contents page came first and was recorded, as ever.
    QVERIFY(viewer.log().indexOf(u"document complete: "_s) < viewer.log().indexOf(u"bar: Continue"_s));
    QVERIFY(readFile(m_harness.dornDir() + u"history.vxp"_s).endsWith("\"kqd.vxp\"\r\n"));

    // The contents page: each module's count, module 1's 3 of its 5 pages
    // (in green, as it has been opened); no tick besides, as no other page
    // it links to was read.
    const auto marks = viewer.waitForLine(u"read marks on kqd\\.vxp: (\\d+) read, (\\d+) module counts"_s);
    QVERIFY2(marks, qPrintable(viewer.problem()));
    QCOMPARE(marks->captured(1), u"0"_s);
    QCOMPARE(marks->captured(2), u"7"_s);
    QVERIFY2(viewer.waitForLine(u"count kq010001\\.vxp: 3 of 5"_s), qPrintable(viewer.problem()));
    const QString shotFile = QDir(m_harness.dataHome()).filePath(u"contents.png"_s);
    QImage shot;
    const QDeadlineTimer painted(15000);
    do {
        QTest::qWait(300);
        m_harness.runOnDisplay(u"import"_s, {u"-window"_s, viewer.window(), shotFile}, nullptr, 20000);
        shot.load(shotFile);
    } while (tickPixels(shot) < 10 && !painted.hasExpired());
    QVERIFY2(tickPixels(shot) >= 10, "no read mark to be seen on the contents page");

    // Enter takes the offer: the third page at the same spot.
    const qsizetype before = viewer.logSize();
    QVERIFY(viewer.keys({u"Return"_s}));
    const auto shown = viewer.waitForLine(u"spot shown on kq010003\\.vxp: (.+) #(\\d+) \\(wanted"_s, before);
    QVERIFY2(shown, qPrintable(viewer.problem()));
    QCOMPARE(shown->captured(1) + u" #"_s + shown->captured(2), m_spot);
    viewer.kill();
}

void TestLearnerEndToEnd::bookmarksAndNotesSurviveARestartAndExport()
{
    {
        Viewer viewer(m_harness, m_harness.startViewer({}, environmentWith(m_harness, u"100"_s)));
        QVERIFY2(viewer.waitForContents(), qPrintable(viewer.problem()));
        QVERIFY2(viewer.waitForLine(u"bar: Continue where you left off"_s), qPrintable(viewer.problem()));
        QVERIFY(viewer.keys({u"ctrl+j"_s}));
        QVERIFY2(viewer.waitForLine(u"spot shown on kq010003\\.vxp"_s), qPrintable(viewer.problem()));
        // Ctrl+D, the note typed at once, Enter.
        qsizetype before = viewer.logSize();
        QVERIFY(viewer.keys({u"ctrl+d"_s}));
        QVERIFY2(viewer.waitForLine(u"bar: Bookmarked \"Module 1 - What a PV system does\""_s, before),
                 qPrintable(viewer.problem()));
        QVERIFY(viewer.type(Note));
        QVERIFY(viewer.keys({u"Return"_s}));
        QVERIFY2(viewer.waitForLine(u"committed: .*bookmark 1 kq010003\\.vxp "_s + Note, before),
                 qPrintable(viewer.problem()));
        viewer.kill();
    }

    Viewer viewer(m_harness, m_harness.startViewer({}, environmentWith(m_harness, u"100"_s)));
    QVERIFY2(viewer.waitForContents(), qPrintable(viewer.problem()));
    QVERIFY2(viewer.waitForLine(u"record opened: \\d+ pages read, 1 bookmarks"_s), qPrintable(viewer.problem()));

    // The Search window's words find the note, apart from the course's pages.
    qsizetype before = viewer.logSize();
    QVERIFY(viewer.keys({u"alt+s"_s}));
    const QString search = m_harness.findWindow(u"^Tamberlyn - Search$"_s, 60000);
    QVERIFY2(!search.isEmpty(), qPrintable(viewer.problem()));
    QVERIFY(viewer.keys({}, search));
    QVERIFY(viewer.type(u"inverter"_s));
    QVERIFY(viewer.keys({u"Return"_s}, search));
    QVERIFY2(viewer.waitForLine(u"bookmarks found for inverter : 1"_s, before), qPrintable(viewer.problem()));
    QVERIFY(viewer.keys({u"alt+c"_s}, search));
    QVERIFY2(viewer.waitForLine(u"document complete: .*/kqd\\.vxp"_s, before), qPrintable(viewer.problem()));

    // The Bookmarks list, and the export to a file the learner names.
    QVERIFY(viewer.find());
    before = viewer.logSize();
    QVERIFY(viewer.keys({u"ctrl+b"_s}));
    QVERIFY2(viewer.waitForLine(u"bookmarks list shown: 1 bookmarks"_s, before), qPrintable(viewer.problem()));
    const QString list = m_harness.findWindow(u"^Tamberlyn - Bookmarks$"_s);
    QVERIFY2(!list.isEmpty(), qPrintable(viewer.problem()));
    QVERIFY(viewer.keys({u"alt+x"_s}, list));
    const QString dialog = m_harness.findWindow(u"^Export bookmarks and notes$"_s);
    QVERIFY2(!dialog.isEmpty(), qPrintable(viewer.problem()));
    const QString exported = QDir(m_harness.dataHome()).filePath(u"my notes.md"_s);
    QVERIFY(viewer.keys({u"ctrl+a"_s}, dialog));
    QVERIFY(viewer.type(exported));
    QVERIFY(viewer.keys({u"Return"_s}, dialog));
    QVERIFY2(viewer.waitForLine(u"bookmarks: 1 bookmark\\(s\\) exported to "_s + QRegularExpression::escape(exported),
                                before),
             qPrintable(viewer.problem()));
    const QString markdown = QString::fromUtf8(readFile(exported));
    QVERIFY2(markdown.contains(u"## Module 1 - Introduction to solar PV systems"_s), qPrintable(markdown));
    QVERIFY2(markdown.contains(u"### [Module 1 \\- What a PV system does]"_s)
                 || markdown.contains(u"### [Module 1 - What a PV system does]"_s),
             qPrintable(markdown));
    QVERIFY2(markdown.contains(u"/kq_cbt/kq/kq010003.vxp>)"_s), qPrintable(markdown));
    QVERIFY2(markdown.contains(u"> "_s + Note), qPrintable(markdown));
    viewer.kill();
}

void TestLearnerEndToEnd::damagedRecordIsMovedAsideWithAMessage()
{
    const QString record = m_harness.dornDir() + u"learner.sqlite"_s;
    for (const QString &file : QStringList{record, record + u"-wal"_s, record + u"-shm"_s})
        QFile::remove(file);
    {
        QFile file(record);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("SQLite format 2\nthis is no record\n");
    }
    Viewer viewer(m_harness, m_harness.startViewer({}, environmentWith(m_harness, u"100"_s)));
    QVERIFY2(viewer.waitForContents(), qPrintable(viewer.problem()));
    QVERIFY2(viewer.waitForLine(u"tamberlyn: Your learner record could not be read \\(.*is not a learner record\\)\\. "
                                "It was moved aside to (\\S+), and a new record has been started\\."_s),
             qPrintable(viewer.problem()));
    QVERIFY2(viewer.waitForLine(u"learner record notice shown: Your learner record could not be read"_s),
             qPrintable(viewer.problem()));
    const QStringList aside = QDir(m_harness.dornDir()).entryList({u"learner.sqlite.unreadable-*"_s});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(readFile(m_harness.dornDir() + aside.constFirst()), QByteArray("SQLite format 2\nthis is no record\n"));
    // The course goes on, and the fresh record keeps the visits.
    QVERIFY2(viewer.nextPage(u"mod01d.vxp"_s), qPrintable(viewer.problem()));
    QVERIFY2(viewer.waitForLine(u"committed: .*visit kq010001\\.vxp"_s), qPrintable(viewer.problem()));
    viewer.kill();
}

void TestLearnerEndToEnd::readOnlyDataFolderLeavesTheCourseWorking()
{
    // The data folder mounted read-only in a mount namespace of the
    // viewer's own: even root cannot write there then.
    if (::geteuid() != 0)
        QSKIP("a read-only mount needs root");
    QProcess probe;
    probe.start(u"unshare"_s, {u"-m"_s, u"true"_s});
    if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
        QSKIP("no mount namespace can be made here");

    const QString folder = QDir(m_harness.dornDir()).absolutePath();
    QProcess *process = m_harness.startViewerThrough(
        {u"unshare"_s, u"-m"_s, u"sh"_s, u"-c"_s,
         u"mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" \"$1\" && exec \"$2\""_s, u"sh"_s, folder},
        environmentWith(m_harness, u"100"_s));
    QVERIFY(process->state() == QProcess::Running);
    Viewer viewer(m_harness, process);
    const auto cleanup = qScopeGuard([&] { viewer.kill(); });
    QVERIFY2(viewer.waitForContents(), qPrintable(viewer.problem()));
    QVERIFY2(viewer.waitForLine(u"tamberlyn: Your progress in this course is not being saved: "_s),
             qPrintable(viewer.problem()));
    QVERIFY2(viewer.waitForLine(u"learner record notice shown: Your progress in this course is not being saved"_s),
             qPrintable(viewer.problem()));
    // Beside the history's own notice: its file cannot be written either.
    QVERIFY2(viewer.waitForLine(u"history failure shown:"_s), qPrintable(viewer.problem()));
    QVERIFY2(viewer.nextPage(u"mod01d.vxp"_s), qPrintable(viewer.problem()));
    QVERIFY2(viewer.nextPage(u"obj01d.vxp"_s), qPrintable(viewer.problem()));
    // Said once, however many writes fail.
    QCOMPARE(viewer.log().count(u"tamberlyn: Your progress in this course is not being saved"_s), 1);
    QCOMPARE(viewer.log().count(u"learner record notice shown: Your progress"_s), 1);
}

QTEST_GUILESS_MAIN(TestLearnerEndToEnd)
#include "tst_learner_e2e.moc"
