#include "enginepane.h"
#include "reading/lookscript.h"
#include "reading/pagelook.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPrinter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWidget>

using namespace Tamberlyn;
using namespace Tamberlyn::Reading;
using namespace Qt::StringLiterals;
using Platform::BrowserPane;

namespace {


// A page that styles nothing for a dark preference, with what pages bring:
// dark text, a dark banner with light text, a gradient, weak grey text
// (2.3:1 in light already), text at half opacity, invisible text, a
// ::before label, a tinted box with a border and form fields, a thick
// border, a picture with a transparent ground and an inline drawing.
const QString MixedPage = uR"HTML(<style>
body { color: #333; background: #fff; font-family: sans-serif; margin: 0 }
.banner { background: #10243a; color: #ffd75e }
.grad { background: linear-gradient(#ffffff, #dfe8f1); color: #222 }
.faint { color: #aaa }
.half { opacity: .5 }
.unseen { color: transparent }
.note::before { content: "Note: "; color: #888 }
a { color: #0645ad }
.tinted { background: #fff7dc; border: 1px solid #c9d6e3 }
.framed { border: 20px solid #eee }
</style>
<div class=banner>Banner text <a href="#x">and its link</a></div>
<h1 class=grad>Gradient heading</h1>
<p>Plain text with a <a href="#y">link</a> and <code>code</code>.</p>
<p class=faint>Faint text</p>
<p class=half>Half-opaque text</p>
<p class=unseen>Invisible text</p>
<p class=note>with a label</p>
<div class=tinted>Tinted box <input value="typed"> <button>Press</button></div>
<div class=framed>Framed</div>
<img id=picture width=40 height=40 src="data:image/svg+xml,%3Csvg xmlns='http://www.w3.org/2000/svg' width='40' height='40'%3E%3Crect width='20' height='20' fill='black'/%3E%3C/svg%3E">
<svg id=drawing width=40 height=40><rect width=20 height=20 fill=currentColor /></svg>)HTML"_s;

// A page with a dark side of its own, in each form a page can ask for one.
const QString SelfStyledPage = uR"HTML(<style>
:root { color-scheme: light dark }
body { background: #fff; color: #111 }
@media (prefers-color-scheme: dark) { body { background: #101010; color: #eee } }
@media screen and (prefers-color-scheme: light) { h1 { color: #a00000 } }
@media print and (prefers-color-scheme: dark) { body { color: #f00 } }
</style>
<style media="(prefers-color-scheme: dark)">h1 { color: #8cc4ff }</style>
<h1>Heading</h1><p>Text</p>
<picture><source media="(prefers-color-scheme: dark)" srcset="dark.png"><img alt="" src="light.png"></picture>)HTML"_s;

// Every visible text node's colour against the ground its ancestors paint
// (laid over white, the harshest base for light text), from the engine's
// computed styles: how many there are and those under `promise`.
constexpr char LegibilityCheck[] = R"JS(
(function (promise) {
  function parse(t) {
    var m = /^rgba?\(([^)]*)\)$/.exec(t || '');
    if (!m) return null;
    var p = m[1].split(/[\s,\/]+/).filter(Boolean).map(Number);
    return {r: p[0], g: p[1], b: p[2], a: p.length > 3 ? p[3] : 1};
  }
  function lin(v) { v /= 255; return v <= 0.04045 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4); }
  function lum(c) { return 0.2126 * lin(c.r) + 0.7152 * lin(c.g) + 0.0722 * lin(c.b); }
  function over(t, b) { return {r: t.r * t.a + b.r * (1 - t.a), g: t.g * t.a + b.g * (1 - t.a),
                                b: t.b * t.a + b.b * (1 - t.a), a: 1}; }
  function ratio(a, b) { var x = lum(a), y = lum(b); return (Math.max(x, y) + 0.05) / (Math.min(x, y) + 0.05); }
  var out = {checked: 0, bad: []};
  var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  for (var n = walker.nextNode(); n; n = walker.nextNode()) {
    var el = n.parentElement;
    if (!n.data.trim() || /^(SCRIPT|STYLE)$/.test(el.tagName)) continue;
    var cs = getComputedStyle(el), colour = parse(cs.color);
    if (!colour || colour.a === 0) continue;
    var ground = {r: 255, g: 255, b: 255, a: 1}, chain = [], opacity = 1;
    for (var e = el; e; e = e.parentElement) { chain.unshift(e); opacity *= parseFloat(getComputedStyle(e).opacity); }
    chain.forEach(function (e) {
      var s = getComputedStyle(e), c = parse(s.backgroundColor);
      var stops = (s.backgroundImage.match(/rgba?\([^)]*\)/g) || []).map(parse);
      if (c && c.a > 0) ground = over(c, ground);
      // A gradient: its lightest stop, the harshest for light text.
      if (stops.length) ground = stops.map(function (s) { return over(s, ground); })
                                      .sort(function (a, b) { return lum(b) - lum(a); })[0];
    });
    colour.a *= opacity;
    var r = ratio(over(colour, ground), ground);
    out.checked++;
    if (r < promise) out.bad.push(n.data.trim() + ': ' + r.toFixed(2) + ' ' + cs.color + ' x' + opacity);
  }
  return JSON.stringify(out);
})
)JS";

// What the page looks like to the engine, for telling two states apart: the
// markup, every element's computed colours and every media list.
constexpr char PageState[] = R"JS(
(function () {
  var colours = Array.from(document.querySelectorAll('*')).map(function (e) {
    var s = getComputedStyle(e);
    return [s.color, s.backgroundColor, s.backgroundImage, s.borderTopColor, s.colorScheme].join('|');
  });
  var media = [];
  Array.from(document.styleSheets).forEach(function (sheet) {
    media.push(sheet.media.mediaText);
    Array.from(sheet.cssRules).forEach(function (r) { if (r.media) media.push(r.media.mediaText); });
  });
  return JSON.stringify([document.documentElement.outerHTML, colours, media]);
})()
)JS";

} // namespace

// The looks' page script on the real engine, on small pages given as data:
// addresses: the author's dark side, the darkening and the forced colours
// measured for contrast, pictures left as they are, light given back
// exactly, the learner's place kept, late content and print.
class TestPageLook final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void mediaQueriesTurn_data();
    void mediaQueriesTurn();
    void selfStyledPageTakesItsDarkSide();
    void otherPagesAreMadeLegible_data();
    void otherPagesAreMadeLegible();
    void lightGivesThePageBackExactly();
    void placeIsKept();
    void lateContentTakesTheLook();
    void printStaysLight();

private:
    QVariantMap showInPlace(Look look);
    QJsonObject legibility(double promise);

    EnginePane m_engine;
    Platform::WebEnginePane *m_pane = nullptr;
    PageLook *m_look = nullptr;
};

void TestPageLook::init()
{
    m_pane = m_engine.create();
    m_look = new PageLook(*m_pane, Look::Light, m_pane);
    QVERIFY(m_engine.show());
}

void TestPageLook::cleanup()
{
    m_engine.close(); // the pane, its view and page with it
    m_pane = nullptr;
    m_look = nullptr;
}

QVariantMap TestPageLook::showInPlace(Look look)
{
    QSignalSpy shown(m_look, &PageLook::shown);
    m_look->show(look);
    if (!shown.wait(EnginePane::ScriptTimeoutMs))
        return {};
    return shown.constFirst().at(1).toMap();
}

QJsonObject TestPageLook::legibility(double promise)
{
    return QJsonDocument::fromJson(m_engine.run(QString::fromLatin1(LegibilityCheck) + u"(%1)"_s.arg(promise)).toString().toUtf8())
        .object();
}

void TestPageLook::mediaQueriesTurn_data()
{
    QTest::addColumn<QString>("media");
    QTest::addColumn<QString>("turned");

    // Dark on the screen; print keeps what the query meant, where the page
    // is light.
    QTest::newRow("dark") << u"(prefers-color-scheme: dark)"_s
                          << u"screen, print and (prefers-color-scheme: dark)"_s;
    QTest::newRow("light") << u"(prefers-color-scheme: light)"_s << u"print and (prefers-color-scheme: light)"_s;
    QTest::newRow("screen, dark, wide") << u"screen and (prefers-color-scheme: dark) and (min-width: 600px)"_s
                                        << u"screen and (min-width: 600px)"_s;
    QTest::newRow("only screen, light") << u"only screen and (prefers-color-scheme: light)"_s << u"not all"_s;
    QTest::newRow("print stays") << u"print and (prefers-color-scheme: dark)"_s
                                 << u"print and (prefers-color-scheme: dark)"_s;
    QTest::newRow("a list") << u"(min-width: 1px), (prefers-color-scheme: light)"_s
                            << u"(min-width: 1px), print and (prefers-color-scheme: light)"_s;
    QTest::newRow("a negation is left as it is") << u"not all and (prefers-color-scheme: dark)"_s
                                                 << u"not all and (prefers-color-scheme: dark)"_s;
    QTest::newRow("no colour scheme") << u"screen and (max-width: 500px)"_s << u"screen and (max-width: 500px)"_s;
}

void TestPageLook::mediaQueriesTurn()
{
    QFETCH(QString, media);
    QFETCH(QString, turned);
    QVERIFY(m_engine.load(u"<p>x</p>"_s));
    const QString call = u"window.__tamberlynLook.colours.turnMedia(%1, 'dark')"_s.arg(
        QString::fromUtf8(QJsonDocument(QJsonArray{media}).toJson(QJsonDocument::Compact).mid(1).chopped(1)));
    QCOMPARE(m_engine.run(pageLookEngine() + u";\n"_s + call).toString(), turned);
}

void TestPageLook::selfStyledPageTakesItsDarkSide()
{
    m_look->show(Look::Dark);
    QVERIFY(m_engine.load(SelfStyledPage));
    const QVariantMap report = m_engine.run(lastLookScript()).toMap();
    QCOMPARE(report.value(u"mode"_s).toString(), u"as-made"_s);
    QCOMPARE(report.value(u"media"_s).toInt(), 5);
    // The author's colours, exactly.
    QCOMPARE(m_engine.run(u"getComputedStyle(document.body).backgroundColor"_s).toString(), u"rgb(16, 16, 16)"_s);
    QCOMPARE(m_engine.run(u"getComputedStyle(document.body).color"_s).toString(), u"rgb(238, 238, 238)"_s);
    QCOMPARE(m_engine.run(u"getComputedStyle(document.querySelector('h1')).color"_s).toString(), u"rgb(140, 196, 255)"_s);
    // The page said it can be dark: its form fields and scroll bars are.
    QCOMPARE(m_engine.run(u"getComputedStyle(document.documentElement).colorScheme"_s).toString(), u"dark"_s);
    QCOMPARE(m_engine.run(u"document.querySelector('source').getAttribute('media')"_s).toString(),
             u"screen, print and (prefers-color-scheme: dark)"_s);
    // Nothing of the page was recoloured beyond its own rules: only the root
    // says which look is on.
    QCOMPARE(m_engine.run(u"document.querySelectorAll('[data-tamberlyn-look]').length"_s).toInt(), 0);
    QCOMPARE(m_engine.run(u"document.documentElement.getAttribute('data-tamberlyn-page-look')"_s).toString(), u"dark"_s);
}

void TestPageLook::otherPagesAreMadeLegible_data()
{
    QTest::addColumn<Look>("look");
    QTest::addColumn<double>("promise");
    QTest::addColumn<QString>("mode");
    QTest::newRow("dark") << Look::Dark << 4.5 << u"darkened"_s;
    QTest::newRow("high contrast") << Look::HighContrast << 7.0 << u"forced"_s;
}

void TestPageLook::otherPagesAreMadeLegible()
{
    QFETCH(Look, look);
    QFETCH(double, promise);
    QFETCH(QString, mode);
    QVERIFY(m_engine.load(MixedPage));
    // The light page as made, weak grey text and all.
    const QJsonObject before = legibility(promise);
    QVERIFY(!before.value(u"bad"_s).toArray().isEmpty());

    m_look->show(look);
    QVERIFY(m_engine.load(MixedPage));
    QCOMPARE(m_engine.run(lastLookScript()).toMap().value(u"mode"_s).toString(), mode);
    const QJsonObject after = legibility(promise);
    QCOMPARE(after.value(u"checked"_s).toInt(), before.value(u"checked"_s).toInt());
    QVERIFY2(after.value(u"bad"_s).toArray().isEmpty(),
             QJsonDocument(after.value(u"bad"_s).toArray()).toJson().constData());
    // A dark page now, under a dark root.
    const QString root = m_engine.run(u"getComputedStyle(document.body).backgroundColor"_s).toString();
    QVERIFY2(root == u"rgb(0, 0, 0)"_s || root == u"rgb(31, 31, 31)"_s, qPrintable(root));
    // What the page hid stays hidden; pictures keep the light ground they
    // were made on, and the drawing its colour.
    QCOMPARE(m_engine.run(u"getComputedStyle(document.querySelector('.unseen')).color"_s).toString(), u"rgba(0, 0, 0, 0)"_s);
    QCOMPARE(m_engine.run(u"getComputedStyle(document.getElementById('picture')).backgroundColor"_s).toString(),
             u"rgb(255, 255, 255)"_s);
    QCOMPARE(m_engine.run(u"getComputedStyle(document.getElementById('drawing')).color"_s).toString(), u"rgb(51, 51, 51)"_s);
    QCOMPARE(m_engine.run(u"getComputedStyle(document.getElementById('picture')).filter"_s).toString(), u"none"_s);
    if (look == Look::HighContrast) {
        QCOMPARE(m_engine.run(u"getComputedStyle(document.querySelector('a')).color"_s).toString(), u"rgb(255, 255, 0)"_s);
        QCOMPARE(m_engine.run(u"getComputedStyle(document.querySelector('p')).color"_s).toString(), u"rgb(255, 255, 255)"_s);
        QCOMPARE(m_engine.run(u"getComputedStyle(document.querySelector('.tinted')).borderTopColor"_s).toString(),
                 u"rgb(255, 255, 255)"_s);
        // A border as wide as a ground is a ground.
        QCOMPARE(m_engine.run(u"getComputedStyle(document.querySelector('.framed')).borderTopColor"_s).toString(),
                 u"rgb(0, 0, 0)"_s);
    }
}

void TestPageLook::lightGivesThePageBackExactly()
{
    QVERIFY(m_engine.load(SelfStyledPage + MixedPage));
    const QString light = m_engine.run(QString::fromLatin1(PageState)).toString();
    QVERIFY(!light.isEmpty());
    QCOMPARE(showInPlace(Look::Dark).value(u"look"_s).toString(), u"dark"_s);
    const QString dark = m_engine.run(QString::fromLatin1(PageState)).toString();
    QVERIFY(dark != light);
    QCOMPARE(showInPlace(Look::HighContrast).value(u"mode"_s).toString(), u"forced"_s);
    QCOMPARE(showInPlace(Look::Light).value(u"mode"_s).toString(), u"light"_s);
    QCOMPARE(m_engine.run(QString::fromLatin1(PageState)).toString(), light);
}

void TestPageLook::placeIsKept()
{
    // The page's dark side is laid out differently: 400 pixels more above
    // every paragraph.
    QString page = u"<style>@media (prefers-color-scheme: dark) { body { background: #000; color: #fff;"
                   " padding-top: 400px } }</style>"_s;
    for (int i = 0; i < 120; ++i)
        page += u"<p id=p%1>Paragraph %1</p>"_s.arg(i);
    QVERIFY(m_engine.load(page));
    m_engine.run(u"document.getElementById('p60').scrollIntoView(); true"_s);
    const double before = m_engine.run(u"document.getElementById('p60').getBoundingClientRect().top"_s).toDouble();
    const int scrolledBefore = m_engine.run(u"window.scrollY"_s).toInt();
    QVERIFY(scrolledBefore > 0);
    const QVariantMap report = showInPlace(Look::Dark);
    QCOMPARE(report.value(u"mode"_s).toString(), u"as-made"_s);
    QVERIFY(qAbs(m_engine.run(u"document.getElementById('p60').getBoundingClientRect().top"_s).toDouble() - before) <= 1);
    QCOMPARE(report.value(u"y"_s).toInt(), m_engine.run(u"window.scrollY"_s).toInt());
    // The paragraph went down by the padding (and a margin no longer
    // collapsed with the body's): the window went with it.
    QVERIFY2(report.value(u"y"_s).toInt() - scrolledBefore >= 400,
             qPrintable(u"from %1 to %2"_s.arg(scrolledBefore).arg(report.value(u"y"_s).toInt())));
}

void TestPageLook::lateContentTakesTheLook()
{
    m_look->show(Look::Dark);
    QVERIFY(m_engine.load(MixedPage));
    m_engine.run(u"var late = document.createElement('p'); late.id = 'late'; late.textContent = 'Late';"
        " late.style.background = '#ffffff'; late.style.color = '#000000'; document.body.appendChild(late); true"_s);
    QVERIFY(QTest::qWaitFor(
        [this] {
            return m_engine.run(u"getComputedStyle(document.getElementById('late')).backgroundColor"_s).toString()
                   != u"rgb(255, 255, 255)"_s;
        },
        5000));
    QVERIFY2(legibility(4.5).value(u"bad"_s).toArray().isEmpty(), "the late paragraph is not legible");
}

void TestPageLook::printStaysLight()
{
    const QString pdftoppm = QStandardPaths::findExecutable(u"pdftoppm"_s);
    if (pdftoppm.isEmpty())
        QSKIP("pdftoppm (poppler-utils) is not installed");
    QTemporaryDir dir;
    const struct
    {
        const char *name;
        QString page;
        Look look;
    } cases[] = {
        {"darkened", MixedPage, Look::Dark},
        {"as made", SelfStyledPage, Look::Dark},
        {"forced", MixedPage, Look::HighContrast},
    };
    for (const auto &c : cases) {
        m_look->show(c.look);
        QVERIFY(m_engine.load(c.page));
        QVERIFY(m_engine.run(u"getComputedStyle(document.body).backgroundColor"_s).toString() != u"rgb(255, 255, 255)"_s);
        const QString pdf = dir.filePath(QString::fromLatin1(c.name) + u".pdf"_s);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        std::optional<QString> error;
        m_pane->printDocument(printer, [&error](const QString &problem) { error = problem; });
        QVERIFY(QTest::qWaitFor([&error] { return error.has_value(); }, EnginePane::LoadTimeoutMs));
        QVERIFY2(error->isEmpty(), qPrintable(*error));
        const QString picture = dir.filePath(QString::fromLatin1(c.name));
        QCOMPARE(QProcess::execute(pdftoppm, {u"-r"_s, u"30"_s, u"-f"_s, u"1"_s, u"-l"_s, u"1"_s, u"-singlefile"_s,
                                              u"-gray"_s, pdf, picture}),
                 0);
        QImage sheet(picture + u".pgm"_s);
        QVERIFY(!sheet.isNull());
        // White paper with dark print on it.
        int light = 0, ink = 0;
        for (int y = 0; y < sheet.height(); ++y)
            for (int x = 0; x < sheet.width(); ++x) {
                const int grey = qGray(sheet.pixel(x, y));
                light += grey > 240 ? 1 : 0;
                ink += grey < 100 ? 1 : 0;
            }
        QVERIFY2(light > sheet.width() * sheet.height() * 9 / 10, c.name);
        QVERIFY2(ink > 0, c.name);
    }
}

QTEST_MAIN(TestPageLook)
#include "tst_pagelook.moc"
