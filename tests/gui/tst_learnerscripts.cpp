#include "e2eharness.h"

#include "learner/coursemapscript.h"
#include "learner/coursepages.h"
#include "learner/readmarksscript.h"
#include "learner/spotscripts.h"
#include "enginepane.h"
#include "reading/pagelook.h"

#include <QApplication>
#include <QPrinter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWidget>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Learner::PageSpot;

namespace {

const QString Base = u"https://course.example/kq_cbt/kq/"_s;

// A long page: sixty paragraphs, three of them alike.
QString longPage()
{
    QString html = u"<h1>A long page</h1>"_s;
    for (int i = 1; i <= 60; ++i) {
        if (i == 20 || i == 30 || i == 40)
            html += u"<p>The same words again.</p>"_s;
        else
            html += u"<p>Paragraph %1. "_s.arg(i) + QString(u"Words to fill a few lines of text here. "_s).repeated(6)
                    + u"</p>"_s;
    }
    return html;
}

QString contentsPage()
{
    return u"<nav><a href='%1kqd.vxp'>Section</a><a href='%1kq010001.vxp'>Next</a></nav>"
           "<main><ol>"
           "<li><a href='%1kq010001.vxp'>Module 1</a></li>"
           "<li><a href='%1kq020001.vxp'>Module 2</a></li>"
           "<li><a href='%1kq020003.vxp#part'>Hazards</a></li>"
           "</ol><p id='after'>After the list.</p></main>"
           "<footer><a href='%1kq020003.vxp'>Hazards again</a></footer>"_s.arg(Base);
}

} // namespace

// The learner record's scripts on the real engine, on data: pages: where
// the learner is survives zoom and a narrower window; the read marks keep
// the layout, leave the navigation bar alone, read sensibly and stay out of
// print; and the course map is read from the real course server.
class TestLearnerScripts final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void spotHoldsOverZoomAndWidth();
    void spotAtTheTopAndOnBlocksAlike();
    void readMarksKeepTheLayout();
    void readMarksOfALongPageComeInBatches();
    void readMarksStayOutOfPrint();
    void readMarksReadInEveryLook_data();
    void readMarksReadInEveryLook();
    void courseMapFromTheServer();

private:
    EnginePane m_engine;
    Platform::WebEnginePane *m_pane = nullptr;
};

void TestLearnerScripts::init()
{
    m_pane = m_engine.create();
    QVERIFY(m_engine.show());
}

void TestLearnerScripts::cleanup()
{
    m_engine.close(); // the pane, its view and page with it
    m_pane = nullptr;
}

void TestLearnerScripts::spotHoldsOverZoomAndWidth()
{
    QVERIFY(m_engine.load(longPage()));
    // Half way into paragraph 33.
    m_engine.run(u"var p = Array.from(document.querySelectorAll('p')).find(e => e.textContent.startsWith('Paragraph 33.'));"
        "window.scrollTo(0, p.getBoundingClientRect().top + window.scrollY + p.getBoundingClientRect().height / 2);"_s);
    const PageSpot saved = PageSpot::fromVariant(m_engine.run(Learner::captureSpotScript()));
    QVERIFY2(saved.quote.startsWith(u"Paragraph 33."_s), qPrintable(saved.quote));
    QCOMPARE(saved.occurrence, 0);
    QVERIFY(qAbs(saved.fraction - 0.5) < 0.1);
    QVERIFY(saved.ratio > 0.3 && saved.ratio < 0.8);
    QCOMPARE(m_engine.run(Learner::captureSpotScript()).toMap().value(u"title"_s).toString(), u"T"_s);

    // Another day: the page zoomed and the window narrower, so every line
    // wraps elsewhere; the spot is the same text.
    m_pane->setZoomFactor(1.5);
    m_pane->view()->setGeometry(0, 0, 520, 600);
    QVERIFY(m_engine.load(longPage()));
    const PageSpot landed = PageSpot::fromVariant(m_engine.run(Learner::restoreSpotScript(saved)));
    QVERIFY2(landed.sameBlock(saved), qPrintable(saved.toJson() + u" / "_s + landed.toJson()));
    QVERIFY2(qAbs(landed.fraction - saved.fraction) < 0.1, qPrintable(landed.toJson()));
    // Looked at again without moving: nothing new to say.
    QVERIFY(m_engine.run(Learner::captureSpotScript(true)).toMap().value(u"unchanged"_s).toBool());
    m_engine.run(u"window.scrollBy(0, 40)"_s);
    QVERIFY(!m_engine.run(Learner::captureSpotScript(true)).toMap().contains(u"unchanged"_s));
}

void TestLearnerScripts::spotAtTheTopAndOnBlocksAlike()
{
    QVERIFY(m_engine.load(longPage()));
    const PageSpot top = PageSpot::fromVariant(m_engine.run(Learner::captureSpotScript()));
    QVERIFY(top.atTop());
    // The second of three paragraphs that begin alike.
    m_engine.run(u"var p = Array.from(document.querySelectorAll('p')).filter(e => e.textContent.startsWith('The same'))[1];"
        "window.scrollTo(0, p.getBoundingClientRect().top + window.scrollY);"_s);
    const PageSpot second = PageSpot::fromVariant(m_engine.run(Learner::captureSpotScript()));
    QCOMPARE(second.quote, u"The same words again."_s);
    QCOMPARE(second.occurrence, 1);
    m_engine.run(u"window.scrollTo(0, 0)"_s);
    const PageSpot landed = PageSpot::fromVariant(m_engine.run(Learner::restoreSpotScript(second)));
    QVERIFY(landed.sameBlock(second));
    // Text that is gone from the page: the scrolled share is the last resort.
    PageSpot gone{u"No such words"_s, 0, 0.0, 0.5};
    m_engine.run(u"window.scrollTo(0, 0)"_s);
    const PageSpot share = PageSpot::fromVariant(m_engine.run(Learner::restoreSpotScript(gone)));
    QVERIFY2(qAbs(share.ratio - 0.5) < 0.05, qPrintable(share.toJson()));
}

void TestLearnerScripts::readMarksKeepTheLayout()
{
    QVERIFY(m_engine.load(contentsPage()));
    const QString positions = u"JSON.stringify(Array.from(document.querySelectorAll('li, p, nav, footer'))"
                              ".map(e => [Math.round(e.getBoundingClientRect().top), Math.round(e.getBoundingClientRect().height)]))"_s;
    const QString before = m_engine.run(positions).toString();
    const QSet<QString> read{u"kq010001.vxp"_s, u"kq020003.vxp"_s, u"kqd.vxp"_s};
    Learner::CoursePages course = Learner::CoursePages::fromPageList(
        {{u"kq010001.vxp"_s, u""_s}, {u"kq010003.vxp"_s, u""_s}, {u"kq020001.vxp"_s, u""_s}, {u"kq020003.vxp"_s, u""_s}});
    const Learner::ReadMarks marks = Learner::readMarksFor(m_pane->links(), read, course);
    const QVariantMap drawn = m_engine.run(Learner::readMarksScript(marks)).toMap();
    QCOMPARE(drawn.value(u"marked"_s).toInt(), 1);  // Hazards; Module 1 shows its count; not the bar, not the footer
    QCOMPARE(drawn.value(u"counted"_s).toInt(), 2); // Module 1, Module 2
    QCOMPARE(m_engine.run(positions).toString(), before);
    const QString seen = u"JSON.stringify(Array.from(document.links).filter(a =>"
                         " a.hasAttribute('data-tamberlyn-read-mark') || a.hasAttribute('data-tamberlyn-read-mark-count'))"
                         ".map(a => [a.textContent, a.hasAttribute('data-tamberlyn-read-mark'),"
                         " a.getAttribute('data-tamberlyn-read-mark-count') || '']))"_s;
    const QString expected = uR"([["Module 1",true,"1 of 2 pages read"],["Module 2",false,"1 of 2 pages read"],)"
                             uR"(["Hazards",true,""]])"_s;
    QCOMPARE(m_engine.run(seen).toString(), expected);
    // What shows, and what a screen reader reads: the tick's alternative text.
    const QString shown = u"Array.from(document.links).map(a => getComputedStyle(a, '::after').content).join('|')"_s;
    QCOMPARE(m_engine.run(shown).toString(),
             u"none|none|\"1 of 2 pages read\"|\"1 of 2 pages read\"|\"\u2713\" / \"read\"|none"_s);
    // A module opened: its count in the read marks' green.
    const QString colours = u"Array.from(document.links).map(a => getComputedStyle(a, '::after').color).join('|')"_s;
    QCOMPARE(m_engine.run(colours).toString().section(u'|', 2, 4),
             u"rgb(46, 125, 50)|rgb(74, 88, 104)|rgb(46, 125, 50)"_s);
    // Nothing was added to the page's text.
    QVERIFY(!m_engine.run(u"document.body.innerText"_s).toString().contains(u"pages read"_s));
    // Again: replaced, not doubled; with nothing to mark: cleared.
    m_engine.run(Learner::readMarksScript(marks));
    QCOMPARE(m_engine.run(seen).toString(), expected);
    m_engine.run(Learner::readMarksScript({}));
    QCOMPARE(m_engine.run(u"document.querySelectorAll('[data-tamberlyn-read-mark], [data-tamberlyn-read-mark-count]').length"_s)
                 .toInt(),
             0);
}

void TestLearnerScripts::readMarksOfALongPageComeInBatches()
{
    QString html = u"<ol>"_s;
    QList<std::pair<QString, QString>> list;
    QSet<QString> read;
    for (int n = 3; n <= 402; ++n) {
        const QString page = u"kq01%1.vxp"_s.arg(n, 4, 10, QLatin1Char('0'));
        html += u"<li><a href='%1%2'>Page %3</a></li>"_s.arg(Base, page).arg(n);
        list.append({page, QString()});
        read.insert(page);
    }
    QVERIFY(m_engine.load(html + u"</ol>"_s));
    const QString markedNow = u"document.querySelectorAll('a[data-tamberlyn-read-mark]').length"_s;
    // Counted in the same task as the marking, before any later frame could
    // add a batch.
    const QVariantList drawnAndMarked =
        m_engine.run(u"[%1 %2]"_s.arg(Learner::readMarksScript(Learner::readMarksFor(m_pane->links(), read,
                                                                             Learner::CoursePages::fromPageList(list)))
                                 .chopped(1) + u","_s,
                             markedNow))
            .toList();
    QCOMPARE(drawnAndMarked.size(), 2);
    const QVariantMap drawn = drawnAndMarked.at(0).toMap();
    QCOMPARE(drawn.value(u"marked"_s).toInt(), 400);
    // The screen and a screen's height around it at once, the rest after.
    const int first = drawn.value(u"first"_s).toInt();
    QVERIFY2(first > 10 && first < 200, qPrintable(QString::number(first)));
    QCOMPARE(drawnAndMarked.at(1).toInt(), first);
    QVERIFY(QTest::qWaitFor([&] { return m_engine.run(markedNow).toInt() == 400; }, EnginePane::ScriptTimeoutMs));
    QVERIFY(m_engine.run(u"window['tamberlyn-read-mark-batches'].done"_s).toBool());
    // A run that replaces them stops the batches of the one before.
    m_engine.run(Learner::readMarksScript(Learner::readMarksFor(m_pane->links(), read, Learner::CoursePages::fromPageList(list))));
    m_engine.run(Learner::readMarksScript({}));
    QTest::qWait(300);
    QCOMPARE(m_engine.run(markedNow).toInt(), 0);
}

void TestLearnerScripts::readMarksStayOutOfPrint()
{
    if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    QVERIFY(m_engine.load(contentsPage()));
    Learner::CoursePages course = Learner::CoursePages::fromPageList({{u"kq010001.vxp"_s, u""_s}});
    m_engine.run(Learner::readMarksScript(Learner::readMarksFor(m_pane->links(), {u"kq010001.vxp"_s}, course)));
    QVERIFY(m_engine.run(u"getComputedStyle(document.querySelector('main a'), '::after').content"_s).toString()
                .contains(u"read"_s));
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(u"page.pdf"_s));
    QString error = u"not finished"_s;
    m_pane->printDocument(printer, [&error](const QString &e) { error = e; });
    QVERIFY(QTest::qWaitFor([&error] { return error != u"not finished"_s; }, EnginePane::LoadTimeoutMs));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QProcess text;
    text.start(u"pdftotext"_s, {printer.outputFileName(), u"-"_s});
    QVERIFY(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(printed.contains(u"Module 1"_s), qPrintable(printed));
    QVERIFY2(!printed.contains(u"pages read"_s) && !printed.contains(u"\u2713"_s), qPrintable(printed));
}

void TestLearnerScripts::readMarksReadInEveryLook_data()
{
    QTest::addColumn<Reading::Look>("look");
    QTest::addColumn<QString>("style"); // the page's own
    QTest::addColumn<double>("least");  // the look's promise for text

    const QString ownDark = u"<style>@media (prefers-color-scheme: dark) {"
                            " body { background: #18212b; color: #dfe6ee; } a { color: #8cc4ff; } }</style>"_s;
    QTest::newRow("light") << Reading::Look::Light << QString() << 4.5;
    QTest::newRow("dark, the page's own dark side") << Reading::Look::Dark << ownDark << 4.5;
    QTest::newRow("dark, a page darkened") << Reading::Look::Dark << QString() << 4.5;
    QTest::newRow("high contrast") << Reading::Look::HighContrast << QString() << 7.0;
}

// The marks are the viewer's own, so no look (neither the page's own dark
// side nor the viewer's darkening) knows of them: they must read on the
// grounds of every look by themselves.
void TestLearnerScripts::readMarksReadInEveryLook()
{
    QFETCH(Reading::Look, look);
    QFETCH(QString, style);
    QFETCH(double, least);
    auto *pageLook = new Reading::PageLook(*m_pane, Reading::Look::Light, m_pane);
    QVERIFY(m_engine.load(style + contentsPage()));
    QSignalSpy shown(pageLook, &Reading::PageLook::shown);
    pageLook->show(look);
    if (look != Reading::Look::Light)
        QVERIFY(shown.wait(EnginePane::ScriptTimeoutMs));
    Learner::CoursePages course = Learner::CoursePages::fromPageList(
        {{u"kq010001.vxp"_s, u""_s}, {u"kq010003.vxp"_s, u""_s}, {u"kq020001.vxp"_s, u""_s}, {u"kq020003.vxp"_s, u""_s}});
    m_engine.run(Learner::readMarksScript(
        Learner::readMarksFor(m_pane->links(), {u"kq010001.vxp"_s, u"kq020003.vxp"_s}, course)));
    // Each mark's colour against the ground it stands on (the nearest one
    // painted, else the page's backdrop).
    const QString ratios = uR"JS(
      (function () {
        function rgb(text) { var m = /rgba?\(([\d.]+), ([\d.]+), ([\d.]+)(?:, ([\d.]+))?\)/.exec(text);
                             return m ? {c: [+m[1], +m[2], +m[3]], a: m[4] === undefined ? 1 : +m[4]} : null; }
        function lum(c) { return c.map(function (v) { v /= 255; return v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4); })
                                  .reduce(function (s, v, i) { return s + v * [0.2126, 0.7152, 0.0722][i]; }, 0); }
        function ground(el) {
          for (; el; el = el.parentElement) { var g = rgb(getComputedStyle(el).backgroundColor); if (g && g.a > 0) return g.c; }
          return %1;
        }
        return Array.from(document.querySelectorAll('a[data-tamberlyn-read-mark], a[data-tamberlyn-read-mark-count]'))
          .map(function (a) { var ink = lum(rgb(getComputedStyle(a, '::after').color).c), under = lum(ground(a));
                              return (Math.max(ink, under) + 0.05) / (Math.min(ink, under) + 0.05); });
      })())JS"_s;
    const QColor backdrop = Reading::PageLook::backdrop(look);
    const QVariantList found =
        m_engine.run(ratios.arg(u"[%1, %2, %3]"_s.arg(backdrop.red()).arg(backdrop.green()).arg(backdrop.blue()))).toList();
    QCOMPARE(found.size(), 3); // Module 1 and 2 counted, Hazards ticked
    for (const QVariant &ratio : found)
        QVERIFY2(ratio.toDouble() >= least, qPrintable(u"a mark at %1:1"_s.arg(ratio.toDouble(), 0, 'f', 2)));
}

void TestLearnerScripts::courseMapFromTheServer()
{
    E2eHarness harness;
    QVERIFY2(harness.startCourseServer(), qPrintable(harness.error()));
    cleanup();
    m_engine.pins() = {};
    m_engine.pins().pin(harness.courseHost(), *Platform::CertificatePins::parseFingerprint(harness.fingerprint()));
    init();
    QSignalSpy complete(m_pane, &Platform::BrowserPane::documentComplete);
    m_pane->navigate(harness.fileLocn() + u"kqd.vxp"_s);
    QVERIFY(complete.wait(EnginePane::LoadTimeoutMs));
    const QStringList links = m_engine.run(Learner::courseMapLinksScript(harness.fileLocn() + u"kqcrd.vxp"_s)).toStringList();
    const Learner::CoursePages course = Learner::CoursePages::fromCourseMap(links);
    QCOMPARE(course.modules(), (QList<int>{1, 2, 3, 4, 5, 6, 7}));
    QCOMPARE(course.pageNamesOf(2),
             (QStringList{u"kq020001.vxp"_s, u"kq020003.vxp"_s, u"kq020004.vxp"_s, u"kq020005.vxp"_s, u"kq020006.vxp"_s}));
    // A map that is not there gives nothing, and no error.
    QVERIFY(m_engine.run(Learner::courseMapLinksScript(harness.fileLocn() + u"kqcrz.vxp"_s)).toStringList().isEmpty());
}

QTEST_MAIN(TestLearnerScripts)
#include "tst_learnerscripts.moc"
