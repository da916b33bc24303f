#include "enginepane.h"
#include "reading/searchwordsscript.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QWidget>

using namespace Tamberlyn;
using namespace Qt::StringLiterals;
using Platform::BrowserPane;

namespace {


} // namespace

// The browser pane on the real engine, for what the reading aids ask of
// it: a zoom that holds over loads, find in page with its count, and the
// search words' script, on small pages given as data: addresses.
class TestWebEnginePane final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void searchWordsAreMarked_data();
    void searchWordsAreMarked();
    void firstMarkIsScrolledIntoView();
    void findCountsAndMovesThroughMatches();
    void zoomHoldsOverLoads();
    void printEndsWithTheContent_data();
    void printEndsWithTheContent();

private:
    BrowserPane::FindResult find(const QString &text, BrowserPane::FindDirection direction);

    EnginePane m_engine;
    Platform::WebEnginePane *m_pane = nullptr;
};

void TestWebEnginePane::init()
{
    m_pane = m_engine.create();
    QVERIFY(m_engine.show());
}

void TestWebEnginePane::cleanup()
{
    m_engine.close(); // the pane, its view and page with it
    m_pane = nullptr;
}

BrowserPane::FindResult TestWebEnginePane::find(const QString &text, BrowserPane::FindDirection direction)
{
    std::optional<BrowserPane::FindResult> answer;
    m_pane->findText(text, direction, [&answer](BrowserPane::FindResult result) { answer = result; });
    if (!QTest::qWaitFor([&answer] { return answer.has_value(); }, EnginePane::ScriptTimeoutMs))
        qWarning("the find gave no answer");
    return answer.value_or(BrowserPane::FindResult{-1, -1});
}

void TestWebEnginePane::searchWordsAreMarked_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QStringList>("marked");

    QTest::newRow("from the start of a word, any letter case")
        << u"<p>Cable cables CABLEWAY encabled micro-cable</p>"_s << QStringList{u"cable"_s}
        << QStringList{u"Cable"_s, u"cables"_s, u"CABLEWAY"_s, u"cable"_s};
    QTest::newRow("both words of a two-word search")
        << u"<h1>Inverters</h1><p>Size the inverter and the cables.</p>"_s << QStringList{u"inv"_s, u"CAB"_s}
        << QStringList{u"Inverters"_s, u"inverter"_s, u"cables"_s};
    QTest::newRow("digits belong to the word") << u"<p>3cable (cable) cable3</p>"_s << QStringList{u"cable"_s}
                                               << QStringList{u"cable"_s, u"cable3"_s};
    QTest::newRow("accents and their capitals") << u"<p>Café CAFÉS cafe</p>"_s << QStringList{u"café"_s}
                                                << QStringList{u"Café"_s, u"CAFÉS"_s};
    QTest::newRow("an apostrophe inside a word")
        << u"<p>Ohm's law, ohm’s law; sun's</p>"_s << QStringList{u"ohm's"_s, u"s"_s}
        << QStringList{u"Ohm's"_s, u"ohm’s"_s, u"sun's"_s};
    QTest::newRow("the parts of apostrophed and hyphenated words, as the index files them")
        << u"<p>raison d'être, l’onduleur; apt-get apt\u2010get aptget</p>"_s
        << QStringList{u"être"_s, u"onduleur"_s, u"apt-get"_s}
        << QStringList{u"être"_s, u"onduleur"_s, u"apt-get"_s, u"apt\u2010get"_s};
    QTest::newRow("a soft hyphen does not break a word")
        << u"<p>trans\u00ADformer</p>"_s << QStringList{u"transf"_s} << QStringList{u"trans\u00ADformer"_s};
    QTest::newRow("not in scripts, styles, forms, the navigation bar or what the index leaves out")
        << u"<nav>cable</nav><script>var cable;</script><style>/* cable */</style><textarea>cable</textarea>"
           "<select><option>cable</option></select><p contenteditable>cable</p><p data-noindex>cable</p>"
           "<p class='x noindex'>cable</p><p hidden>cable</p><header>cable</header><aside>cable</aside>"
           "<article><header>cable</header></article><p>cable</p>"_s
        << QStringList{u"cable"_s} << QStringList{u"cable"_s, u"cable"_s};
    QTest::newRow("inside links and the page's own marks")
        << u"<p><a href='https://course.example/kq_cbt/kq/kq010004.vxp'>cable</a> <mark>cables</mark></p>"_s
        << QStringList{u"cable"_s} << QStringList{u"cable"_s, u"cables"_s};
    // The words are data: neither a pattern nor script.
    QTest::newRow("pattern characters are plain characters")
        << u"<p>a.b*c axbxc (x) [y]</p>"_s << QStringList{u"a.b*c"_s, u"(x)"_s, u"[y"_s}
        << QStringList{u"a.b*c"_s, u"(x)"_s, u"[y"_s};
    QTest::newRow("a word cannot end the script")
        << u"<p>alert</p>"_s << QStringList{u"\"]); document.title = 'x'; (["_s, u"</script>"_s, u"\\"_s}
        << QStringList();
    QTest::newRow("no words") << u"<p>cable</p>"_s << QStringList{u""_s} << QStringList();
}

void TestWebEnginePane::searchWordsAreMarked()
{
    QFETCH(QString, body);
    QFETCH(QStringList, words);
    QFETCH(QStringList, marked);
    QVERIFY(m_engine.load(body));
    const QStringList links = m_pane->links();

    QCOMPARE(m_engine.run(Reading::searchWordsScript(words)).toInt(), marked.size());
    QCOMPARE(m_engine.run(u"Array.from(document.querySelectorAll('mark.%1')).map(m => m.textContent)"_s.arg(
                     QLatin1String(Reading::SearchWordClass)))
                 .toStringList(),
             marked);
    QCOMPARE(m_engine.run(Reading::searchWordMarksScript()).toInt(), marked.size());
    QCOMPARE(m_engine.run(u"document.title"_s).toString(), u"T"_s);
    // The page's links, which the buttons follow, are as they were.
    QCOMPARE(m_engine.run(u"Array.from(document.links).map(a => a.href)"_s).toStringList(), links);
    // A second run marks nothing twice.
    m_engine.run(Reading::searchWordsScript(words));
    QCOMPARE(m_engine.run(Reading::searchWordMarksScript()).toInt(), marked.size());
}

void TestWebEnginePane::firstMarkIsScrolledIntoView()
{
    QVERIFY(m_engine.load(u"<p>cable at the top</p><div style='height: 3000px'></div><p id='far'>cables far below</p>"_s));
    m_engine.run(Reading::searchWordsScript({u"cable"_s}));
    QCOMPARE(m_engine.run(u"window.scrollY"_s).toInt(), 0); // in view already: the page stays

    QVERIFY(m_engine.load(u"<div style='height: 3000px'></div><p id='far'>cables far below</p>"_s));
    QCOMPARE(m_engine.run(Reading::searchWordsScript({u"cable"_s})).toInt(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(m_engine.run(u"window.scrollY"_s).toInt() > 2000, EnginePane::ScriptTimeoutMs);
    QVERIFY(m_engine.run(u"(function(r){return r.top >= 0 && r.bottom <= window.innerHeight;})"
                "(document.querySelector('mark').getBoundingClientRect())"_s)
                .toBool());
}

void TestWebEnginePane::findCountsAndMovesThroughMatches()
{
    using Direction = BrowserPane::FindDirection;
    QVERIFY(m_engine.load(u"<p>Cables first.</p><p>Then CABLES again.</p><p>And cables last.</p>"_s));
    auto result = find(u"cables"_s, Direction::Forward);
    QCOMPARE(result.numberOfMatches, 3);
    QCOMPARE(result.activeMatch, 1);
    QCOMPARE(find(u"cables"_s, Direction::Forward).activeMatch, 2);
    QCOMPARE(find(u"cables"_s, Direction::Forward).activeMatch, 3);
    QCOMPARE(find(u"cables"_s, Direction::Forward).activeMatch, 1); // round again
    QCOMPARE(find(u"cables"_s, Direction::Backward).activeMatch, 3);
    result = find(u"no such text"_s, Direction::Forward);
    QCOMPARE(result.numberOfMatches, 0);
    result = find(QString(), Direction::Forward);
    QCOMPARE(result.numberOfMatches, 0);

    // On a new page the finding starts afresh.
    QVERIFY(m_engine.load(u"<p>cables and cables</p>"_s));
    result = find(u"cables"_s, Direction::Forward);
    QCOMPARE(result.numberOfMatches, 2);
    QCOMPARE(result.activeMatch, 1);
}

void TestWebEnginePane::zoomHoldsOverLoads()
{
    QVERIFY(m_engine.load(u"<p>as made</p>"_s));
    const int plainWidth = m_engine.run(u"window.innerWidth"_s).toInt();
    QVERIFY(plainWidth > 0);

    m_pane->setZoomFactor(1.25);
    QTRY_COMPARE_WITH_TIMEOUT(m_engine.run(u"window.innerWidth"_s).toInt(), qRound(plainWidth / 1.25), EnginePane::ScriptTimeoutMs);
    // Each data: page is an origin of its own, as a page from another host
    // would be: the engine's per-host zoom does not carry it, the pane does.
    for (const QString &page : {u"<p>second</p>"_s, u"<p>third</p>"_s}) {
        QVERIFY(m_engine.load(page));
        QCOMPARE(m_pane->zoomFactor(), 1.25);
        QTRY_COMPARE_WITH_TIMEOUT(m_engine.run(u"window.innerWidth"_s).toInt(), qRound(plainWidth / 1.25), EnginePane::ScriptTimeoutMs);
    }
    m_pane->setZoomFactor(1.0);
    QTRY_COMPARE_WITH_TIMEOUT(m_engine.run(u"window.innerWidth"_s).toInt(), plainWidth, EnginePane::ScriptTimeoutMs);
}

int main(int argc, char *argv[])
{
    // As the viewer starts the engine.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestWebEnginePane test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webenginepane.moc"

void TestWebEnginePane::printEndsWithTheContent_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("around");   // CSS pixels the style puts above and below the content
    QTest::addColumn<int>("overflow"); // how far all of it reaches past one sheet
    QTest::addColumn<int>("pages");
    // A body's default margin or the page's own padding would carry the
    // content a few pixels onto a second, blank sheet; so would a page a
    // whole window high with padding below.
    QTest::newRow("body margin") << u"body { margin: 8px; }"_s << 16 << 4 << 1;
    QTest::newRow("body padding") << u"body { margin: 0; padding: 0 0 24px; }"_s << 24 << 20 << 1;
    QTest::newRow("a whole window high")
        << u"html, body { margin: 0; height: 100%; } body { padding-bottom: 10px; }"_s << 10 << -2 << 1;
    // Content that does not fit takes its second sheet.
    QTest::newRow("two sheets of content") << u"body { margin: 8px; }"_s << 16 << 300 << 2;
}

void TestWebEnginePane::printEndsWithTheContent()
{
    QFETCH(QString, style);
    QFETCH(int, around);
    QFETCH(int, overflow);
    QFETCH(int, pages);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(u"page.pdf"_s));
    // The engine lays a sheet out at 96 CSS pixels to the inch.
    const int sheet = qRound(printer.pageLayout().paintRect(QPageLayout::Inch).height() * 96.0);
    QVERIFY(m_engine.load(u"<style>"_s + style + u"</style><div style='height: %1px'></div>"_s.arg(sheet - around + overflow)));

    QSignalSpy ended(m_pane, &BrowserPane::printEnded);
    QString error = u"not done"_s;
    m_pane->printDocument(printer, [&error](const QString &problem) { error = problem; });
    QVERIFY(ended.wait(EnginePane::LoadTimeoutMs));
    QCOMPARE(error, QString());
    QFile pdf(printer.outputFileName());
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    int printed = 0;
    for (auto it = QRegularExpression(u"/Type\\s*/Page(?!s)"_s).globalMatch(QString::fromLatin1(pdf.readAll()));
         it.hasNext(); it.next())
        ++printed;
    QCOMPARE(printed, pages);
}
