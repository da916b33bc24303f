#include "e2eharness.h"

#include "finders/finderfiles.h"
#include "tables/tablefiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPoint>
#include <QRegularExpression>
#include <QTest>

#include <functional>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;

namespace {

constexpr int PageTimeoutMs = 90000;
// The middle of the first line of the Search window's result list.
constexpr QPoint ResultsFirstLine{80, 119};

bool waitForFile(const QString &path, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!(QFile::exists(path) && QFileInfo(path).size() > 0)) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(100);
    }
    QTest::qWait(300); // the writer closes the file right after its last page
    return true;
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pageCount(const QString &pdf)
{
    const auto match = QRegularExpression(u"Pages:\\s+(\\d+)"_s).match(run(u"pdfinfo"_s, {pdf}));
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// The pages of a PDF as pictures, 50 dots per inch.
QList<QImage> pictures(const QString &pdf)
{
    const QString prefix = pdf + u"-picture"_s;
    run(u"pdftoppm"_s, {u"-r"_s, u"50"_s, u"-png"_s, pdf, prefix});
    QList<QImage> pages;
    const QFileInfo info(prefix);
    for (const QString &name : info.dir().entryList({info.fileName() + u"-*.png"_s}, QDir::Files, QDir::Name)) {
        pages.append(QImage(info.dir().filePath(name)));
        QFile::remove(info.dir().filePath(name));
    }
    return pages;
}

qsizetype pixelsLike(const QImage &page, const std::function<bool(QRgb)> &like)
{
    qsizetype count = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x)
            count += like(page.pixel(x, y)) ? 1 : 0;
    }
    return count;
}

// The search words' mark on the screen: light blue.
bool isSearchWordMark(QRgb pixel)
{
    return qAbs(qRed(pixel) - 0xa6) < 16 && qAbs(qGreen(pixel) - 0xe1) < 16 && qBlue(pixel) > 235;
}

// Ink of any colour: what a blank page has none of.
bool isInk(QRgb pixel)
{
    return qGray(pixel) < 160;
}

// The engine prints a find-in-page match in its marks' black; the demo
// course writes its text in a dark blue grey.
bool isBlack(QRgb pixel)
{
    return qRed(pixel) < 12 && qGreen(pixel) < 12 && qBlue(pixel) < 12;
}

// Paper left white: a print made in the screen's dark look has none.
bool isPaper(QRgb pixel)
{
    return qGray(pixel) > 200;
}

bool mostlyPaper(const QList<QImage> &pages)
{
    for (const QImage &page : pages) {
        if (pixelsLike(page, isPaper) < qsizetype(page.width()) * page.height() * 8 / 10)
            return false;
    }
    return !pages.isEmpty();
}

// The viewer at the course, driven through xdotool, and what it logs.
class Learner final
{
public:
    Learner(E2eHarness &harness, QProcess *viewer)
        : m_harness(harness)
        , m_viewer(viewer)
    {
    }

    bool keys(const QString &window, const QStringList &keys)
    {
        if (!xdotool({u"windowactivate"_s, u"--sync"_s, window}))
            return false;
        for (const QString &key : keys) {
            if (!xdotool({u"key"_s, u"--delay"_s, u"60"_s, key}))
                return false;
        }
        return true;
    }

    bool doubleClick(const QString &window, QPoint at)
    {
        return xdotool({u"mousemove"_s, u"--window"_s, window, QString::number(at.x()), QString::number(at.y()),
                        u"click"_s, u"--repeat"_s, u"2"_s, u"--delay"_s, u"80"_s, u"1"_s});
    }

    bool type(const QString &window, const QString &text)
    {
        return xdotool({u"windowactivate"_s, u"--sync"_s, window})
               && xdotool({u"type"_s, u"--delay"_s, u"60"_s, text});
    }

    // Print in `window`'s bar, the dialog accepted: waits for the PDF file
    // made anew.
    bool print(const QString &window, const QString &pdf)
    {
        QFile::remove(pdf);
        if (!m_harness.clickBarButton(window, 1))
            return fail(m_harness.error());
        const QString dialog = m_harness.findWindow(u"^Print$"_s, 15000);
        if (dialog.isEmpty())
            return fail(u"no print dialog"_s);
        // A key typed into the focused dialog, as a learner types it: sent
        // to the dialog's window, its release would find the dialog gone,
        // and the key would stay down and repeat in the window behind.
        if (!xdotool({u"windowactivate"_s, u"--sync"_s, dialog}) || !xdotool({u"key"_s, u"Return"_s}))
            return false;
        return waitForFile(pdf, 30000) || fail(u"no "_s + pdf + u": "_s + m_harness.error());
    }

    std::optional<QRegularExpressionMatch> waitForLine(const QString &pattern, qsizetype after = 0)
    {
        auto match = E2eHarness::waitForMatch(m_viewer, pattern, after, PageTimeoutMs);
        if (!match)
            fail(u"no line matching \"%1\" in the viewer's log"_s.arg(pattern));
        return match;
    }

    qsizetype logSize() const { return E2eHarness::output(m_viewer).size(); }

    QString problem() const { return m_problem + u"\n--- viewer log ---\n"_s + E2eHarness::viewerLines(m_viewer); }

private:
    bool xdotool(const QStringList &arguments)
    {
        return m_harness.runOnDisplay(u"xdotool"_s, arguments) || fail(m_harness.error());
    }

    bool fail(const QString &problem)
    {
        m_problem = problem;
        return false;
    }

    E2eHarness &m_harness;
    QProcess *m_viewer;
    QString m_problem;
};

} // namespace

class TestPrintEndToEnd final : public QObject
{
    Q_OBJECT

private slots:
    void pageAndHelpImageToPdf();
    void finderWindowAndMarkedPageToPdf();
};

// No printer is installed here, so both go to PDF files in the documents
// folder, the page through the print dialog and the help image without one.
void TestPrintEndToEnd::pageAndHelpImageToPdf()
{
    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    const QString home = harness.dataHome() + u"/../home"_s;
    QVERIFY(QDir().mkpath(home));
    QProcessEnvironment env = harness.viewerEnvironment();
    env.insert(u"HOME"_s, QDir(home).canonicalPath());
    QProcess *viewer = harness.startViewer({}, env);
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"document complete: "_s + harness.fileLocn() + u"kqd.vxp"_s,
                                       PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));

    const QString window = harness.findWindow(u"^Tamberlyn"_s);
    QVERIFY(!window.isEmpty());
    const QString documents = QDir(home).canonicalPath() + u"/Documents/"_s;

    // The page: Print, then accept the print dialog.
    Learner learner(harness, viewer);
    const QString page = documents + u"Tamberlyn page.pdf"_s;
    QVERIFY2(learner.print(window, page), qPrintable(learner.problem()));
    const QString text = run(u"pdftotext"_s, {page, u"-"_s});
    QVERIFY2(text.contains(u"Contents"_s) && text.contains(u"Module 1"_s), qPrintable(text.left(500)));

    // The help image: Help, then Print; no dialog.
    QVERIFY(harness.clickBarButton(window, 8));
    QVERIFY(harness.clickBarButton(window, 1));
    const QString help = documents + u"Tamberlyn help.pdf"_s;
    QVERIFY2(waitForFile(help, 30000), qPrintable(E2eHarness::output(viewer)));
    const QString images = run(u"pdfimages"_s, {u"-list"_s, help});
    // The help image's size (shell/helpimage.h).
    QVERIFY2(images.contains(u" 780 "_s) && images.contains(u" 604 "_s), qPrintable(images));
    const QString info = run(u"pdfinfo"_s, {help});
    QVERIFY2(QRegularExpression(u"Pages:\\s+1\\b"_s).match(info).hasMatch(), qPrintable(info));
}

// Print in the Search window puts on paper what the window shows, not the
// stand-in trigger page behind it; a page opened from the results, with
// the searched words and find-in-page matches marked on the screen, prints
// without any mark and without a blank page at its end. The viewer reads in
// the dark look: print stays light whatever the screen shows.
void TestPrintEndToEnd::finderWindowAndMarkedPageToPdf()
{
    const QString programFolder = QFileInfo(QStringLiteral(TAMBERLYN_VIEWER)).absolutePath();
    if (!QFile::exists(Tables::wordsFilePath(programFolder)))
        QSKIP("the demo course's word index has not been built beside the viewer");
    const Finders::SearchIndex index = Finders::loadSearchIndex(Tables::TableFileReader(), programFolder).index;
    const QString query = u"cable inverter extra"_s;
    const std::optional<Finders::SearchResult> expected = index.search(query);
    QVERIFY(expected && expected->count() >= 2);

    E2eHarness harness;
    QVERIFY2(harness.startDisplay({1280, 1024}, true), qPrintable(harness.error()));
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    const QString home = harness.dataHome() + u"/../home"_s;
    QVERIFY(QDir().mkpath(home));
    QProcessEnvironment env = harness.viewerEnvironment();
    env.insert(u"HOME"_s, QDir(home).canonicalPath());
    env.insert(u"TAMBERLYN_LOOK"_s, u"dark"_s);
    QProcess *viewer = harness.startViewer({}, env);
    Learner learner(harness, viewer);
    QVERIFY2(E2eHarness::waitForOutput(viewer, u"document complete: "_s + harness.fileLocn() + u"kqd.vxp"_s,
                                       PageTimeoutMs),
             qPrintable(E2eHarness::output(viewer)));
    const QString main = harness.findWindow(u"^Tamberlyn$"_s);
    QVERIFY(!main.isEmpty());
    const QString documents = QDir(home).canonicalPath() + u"/Documents/"_s;

    // The Search window, a search of three words, Print.
    QVERIFY(harness.clickBarButton(main, 2));
    const QString search = harness.findWindow(u"^Tamberlyn - Search$"_s, PageTimeoutMs);
    QVERIFY2(!search.isEmpty(), qPrintable(learner.problem()));
    QVERIFY2(learner.type(search, query) && learner.keys(search, {u"Return"_s}), qPrintable(learner.problem()));
    QVERIFY2(learner.waitForLine(u"search %1 found %2 pages"_s.arg(query).arg(expected->count())),
             qPrintable(learner.problem()));
    const QString listing = documents + u"Tamberlyn search.pdf"_s;
    QVERIFY2(learner.print(search, listing), qPrintable(learner.problem()));
    // pdftotext keeps the lines, not every space in them.
    const QString text = run(u"pdftotext"_s, {listing, u"-"_s}).simplified();
    QVERIFY2(text.contains(u"Tamberlyn - Search"_s) && text.contains(u"Search words: "_s + query)
                 && text.contains(u"Found: %1 pages"_s.arg(expected->count()))
                 && text.contains(u"so \"extra\" was left out"_s),
             qPrintable(text.left(800)));
    for (const QString &title : expected->entries)
        QVERIFY2(text.contains(title.simplified()), qPrintable(title + u" not in: "_s + text.left(800)));
    QVERIFY2(!text.contains(u"Back to contents"_s), qPrintable(text.left(800)));
    const QList<QImage> listingPages = pictures(listing);
    QCOMPARE(listingPages.size(), pageCount(listing));
    QVERIFY(pixelsLike(listingPages.constLast(), isInk) > 0);
    QVERIFY2(mostlyPaper(listingPages), "the Search's printout is not on white paper");

    // The first result, with the searched words marked; then find in page.
    qsizetype from = learner.logSize();
    QVERIFY2(learner.doubleClick(search, ResultsFirstLine), qPrintable(learner.problem()));
    const auto shown = learner.waitForLine(u"search words \"cable inverter\" shown on (\\S+): (\\d+) marks"_s, from);
    QVERIFY2(shown && shown->captured(2).toInt() > 0, qPrintable(learner.problem()));
    QCOMPARE(shown->captured(1), expected->resultFiles.constFirst());
    const QString courseWindow = harness.findWindow(u"^Tamberlyn( - Module [0-9]+)?$"_s, PageTimeoutMs);
    QVERIFY(!courseWindow.isEmpty());
    from = learner.logSize();
    QVERIFY2(learner.keys(courseWindow, {u"ctrl+f"_s}) && learner.type(courseWindow, u"the"_s),
             qPrintable(learner.problem()));
    QVERIFY2(learner.waitForLine(u"find \"the\": 1 of \\d+"_s, from), qPrintable(learner.problem()));

    const QString page = documents + u"Tamberlyn page.pdf"_s;
    from = learner.logSize();
    QVERIFY2(learner.print(courseWindow, page), qPrintable(learner.problem()));
    QList<QImage> marked = pictures(page);
    QVERIFY(!marked.isEmpty());
    QCOMPARE(marked.size(), pageCount(page));
    qsizetype markedBlack = 0;
    for (const QImage &picture : std::as_const(marked)) {
        QCOMPARE(pixelsLike(picture, isSearchWordMark), 0);
        markedBlack += pixelsLike(picture, isBlack);
    }
    QVERIFY2(pixelsLike(marked.constLast(), isInk) > 0, "a blank page at the end");
    QVERIFY2(mostlyPaper(marked), "the page printed in the dark look is not on white paper");
    // The find bar's marks come back once the page has printed.
    QVERIFY2(learner.waitForLine(u"find \"the\": 1 of \\d+"_s, from), qPrintable(learner.problem()));

    // The same page printed without the find bar's marks: the same ink.
    from = learner.logSize();
    // Esc closes the bar from inside it; the print dialog gave the focus
    // back to the Print button.
    QVERIFY2(learner.keys(courseWindow, {u"ctrl+f"_s, u"Escape"_s}), qPrintable(learner.problem()));
    QVERIFY2(learner.waitForLine(u"find bar closed"_s, from), qPrintable(learner.problem()));
    QVERIFY2(learner.print(courseWindow, page), qPrintable(learner.problem()));
    const QList<QImage> plain = pictures(page);
    QCOMPARE(plain.size(), marked.size());
    qsizetype plainBlack = 0;
    for (const QImage &picture : plain)
        plainBlack += pixelsLike(picture, isBlack);
    qInfo("black pixels: %lld with the find bar's marks, %lld without", static_cast<long long>(markedBlack),
          static_cast<long long>(plainBlack));
    QVERIFY2(qAbs(markedBlack - plainBlack) <= 20 + plainBlack / 100,
             qPrintable(u"black pixels: %1 with the find bar's marks, %2 without"_s.arg(markedBlack).arg(plainBlack)));
}

QTEST_GUILESS_MAIN(TestPrintEndToEnd)
#include "tst_print_e2e.moc"
