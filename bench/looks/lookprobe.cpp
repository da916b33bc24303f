// Measures the looks on real pages in the real engine: the viewer's own
// browser pane and page looks (platform/qt/webenginepane.h,
// reading/pagelook.h) load each page as a page turn in each look does, and
// the probe reads what the learner would see.
//
//   lookprobe --base URL --pin SHA256 [--looks today,light,dark,contrast]
//             [--size 1280x1000] [--chunks 40] PAGE...
//
// For every page and look it prints one JSON line on standard output:
//   runs      visible text runs (text nodes with a box on the page)
//   min       the lowest WCAG contrast ratio of a run's colour against the
//             ground it stands on, and below4_5, below7: runs under those
//   worst     a few of the lowest runs, with their text and colours
//   pictures  pictures on the page (img, svg, canvas, video, and elements
//             with a picture as their CSS background), and inverted,
//             altered: how many the look drew inverted or changed, against
//             the light look's rendering
//   applyMs   what the page script took to give the page its look, and
//             switchMs: how long a change of look took to reach the page
//             shown, from the request to the page's answer (light pages),
//             beside roundTripMs, the same for a script that does nothing
//
// The ground a run stands on is read from the screen, not from styles: the
// page is drawn once more with every text made transparent (colours change
// no layout), and the colour most of the run's box shows there is the
// ground. The run's colour is its computed colour, with its opacity, laid
// over that ground. Pages longer than the window are scrolled through.
//
// "today" is the page with no look script at all, as the viewer showed it
// before it had looks; "light" must read the same.
#include "platform/certificatepins.h"
#include "platform/qt/webenginepane.h"
#include "reading/looks.h"
#include "reading/pagelook.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

using namespace Tamberlyn;

namespace {

// Collects what the measure needs before the text is hidden: for every
// visible text node, its colour as drawn (computed colour, text fill
// colour, the opacity of it and its ancestors) and a few of its letters.
constexpr char CollectRuns[] = R"JS(
(function () {
  var skipped = {SCRIPT: 1, STYLE: 1, NOSCRIPT: 1, TEMPLATE: 1, TITLE: 1, TEXTAREA: 1, OPTION: 1};
  var nodes = [], runs = [];
  if (!document.body) { window.__probe = {nodes: nodes, pictures: []}; return 0; }
  var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  for (var n = walker.nextNode(); n; n = walker.nextNode()) {
    if (!n.data.trim() || !n.parentElement || skipped[n.parentElement.tagName])
      continue;
    var el = n.parentElement, cs = getComputedStyle(el);
    if (cs.visibility !== 'visible')
      continue;
    var opacity = 1;
    for (var e = el; e; e = e.parentElement)
      opacity *= parseFloat(getComputedStyle(e).opacity);
    var fill = cs.webkitTextFillColor;
    nodes.push({node: n, colour: fill && fill !== cs.color && !/^currentcolor$/i.test(fill) ? fill : cs.color,
                opacity: opacity, text: n.data.trim().slice(0, 40)});
  }
  var pictures = [];
  document.querySelectorAll('img, svg, canvas, video, input[type=image], *').forEach(function (el) {
    var tag = el.tagName.toLowerCase();
    if (tag === 'svg' && el.ownerSVGElement)
      return;
    if (['img', 'svg', 'canvas', 'video', 'input'].indexOf(tag) >= 0 || /url\(/.test(getComputedStyle(el).backgroundImage))
      if (pictures.indexOf(el) < 0)
        pictures.push(el);
  });
  window.__probe = {nodes: nodes, pictures: pictures};
  return nodes.length;
})()
)JS";

// The boxes of the runs and pictures inside the window now, cut to the
// part the window shows (scroll bars are no page).
constexpr char BoxesInView[] = R"JS(
(function () {
  var w = document.documentElement.clientWidth, h = document.documentElement.clientHeight;
  var out = {runs: [], pictures: [], y: window.scrollY};
  var range = document.createRange();
  function cut(r) {
    var left = Math.max(0, r.left), top = Math.max(0, r.top);
    var right = Math.min(w, r.right), bottom = Math.min(h, r.bottom);
    return right - left >= 2 && bottom - top >= 2 ? [left, top, right - left, bottom - top] : null;
  }
  window.__probe.nodes.forEach(function (entry, i) {
    range.selectNodeContents(entry.node);
    var rects = range.getClientRects();
    for (var k = 0; k < rects.length; ++k) {
      var box = cut(rects[k]);
      if (box)
        out.runs.push([i, k].concat(box));
    }
  });
  window.__probe.pictures.forEach(function (el, i) {
    var r = el.getBoundingClientRect();
    var box = cut(r);
    if (r.width < 8 || r.height < 8 || !box)
      return;
    out.pictures.push([i].concat(box, [r.top + window.scrollY]));
  });
  return JSON.stringify(out);
})()
)JS";

constexpr char HideText[] = R"JS(
(function () {
  var sheet = new CSSStyleSheet();
  var all = '*:not(#p1):not(#p2):not(#p3):not(#p4):not(#p5)';
  sheet.replaceSync(all + ', ' + all + '::before, ' + all + '::after, ' + all + '::marker, ' + all + '::placeholder'
    + ' { color: transparent !important; -webkit-text-fill-color: transparent !important;'
    + ' text-shadow: none !important; text-decoration-color: transparent !important;'
    + ' caret-color: transparent !important; }');
  document.adoptedStyleSheets = document.adoptedStyleSheets.concat([sheet]);
  return true;
})()
)JS";

struct Colour
{
    double r = 0, g = 0, b = 0, a = 1;
};

std::optional<Colour> parseColour(const QString &text)
{
    const qsizetype open = text.indexOf(QLatin1Char('('));
    const qsizetype close = text.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open || !text.startsWith(QLatin1String("rgb")))
        return std::nullopt;
    QStringList parts = text.mid(open + 1, close - open - 1).split(QRegularExpression(QStringLiteral("[\\s,/]+")),
                                                                    Qt::SkipEmptyParts);
    if (parts.size() < 3)
        return std::nullopt;
    Colour c{parts[0].toDouble(), parts[1].toDouble(), parts[2].toDouble(), parts.size() > 3 ? parts[3].toDouble() : 1};
    return c;
}

double linear(double v)
{
    v /= 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double luminance(const Colour &c)
{
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

double contrast(const Colour &a, const Colour &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Colour over(const Colour &top, const Colour &bottom)
{
    return {top.r * top.a + bottom.r * (1 - top.a), top.g * top.a + bottom.g * (1 - top.a),
            top.b * top.a + bottom.b * (1 - top.a), 1};
}

QString colourText(const Colour &c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(qRound(c.r)).arg(qRound(c.g)).arg(qRound(c.b));
}

// The colour most of `box` shows in `shot`.
std::optional<Colour> groundIn(const QImage &shot, const QRect &box)
{
    const QRect inside = box.intersected(shot.rect());
    if (inside.isEmpty())
        return std::nullopt;
    QHash<QRgb, int> counts;
    QRgb best = 0;
    int bestCount = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(shot.constScanLine(y));
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const int seen = ++counts[line[x] | 0xff000000u];
            if (seen > bestCount) {
                bestCount = seen;
                best = line[x];
            }
        }
    }
    return Colour{double(qRed(best)), double(qGreen(best)), double(qBlue(best)), 1};
}

// A picture's box in a shot as an 8 x 8 grid of mean colours.
using Thumb = std::array<std::array<double, 3>, 64>;

Thumb thumbOf(const QImage &shot, const QRect &box)
{
    Thumb thumb{};
    const QRect inside = box.intersected(shot.rect());
    for (std::size_t cell = 0; cell < 64; ++cell) {
        const int cx = int(cell % 8), cy = int(cell / 8);
        const QRect part(inside.left() + inside.width() * cx / 8, inside.top() + inside.height() * cy / 8,
                         qMax(1, inside.width() / 8), qMax(1, inside.height() / 8));
        double sum[3] = {0, 0, 0};
        int n = 0;
        for (int y = part.top(); y <= part.bottom() && y < shot.height(); ++y) {
            for (int x = part.left(); x <= part.right() && x < shot.width(); ++x) {
                const QRgb p = shot.pixel(x, y);
                sum[0] += qRed(p);
                sum[1] += qGreen(p);
                sum[2] += qBlue(p);
                ++n;
            }
        }
        for (std::size_t k = 0; k < 3; ++k)
            thumb[cell][k] = n ? sum[k] / n : 0;
    }
    return thumb;
}

double meanDifference(const Thumb &a, const Thumb &b, bool invertA)
{
    double sum = 0;
    for (std::size_t cell = 0; cell < 64; ++cell)
        for (std::size_t k = 0; k < 3; ++k)
            sum += std::abs((invertA ? 255 - a[cell][k] : a[cell][k]) - b[cell][k]);
    return sum / (64 * 3);
}

class Probe final
{
public:
    Probe(const QString &base, const Platform::CertificatePins &pins, QSize size, int maxChunks)
        : m_base(base)
        , m_window(new QWidget)
        , m_pane(new Platform::WebEnginePane(pins, m_window))
        , m_maxChunks(maxChunks)
    {
        m_window->resize(size);
        m_pane->view()->setGeometry(QRect(QPoint(0, 0), size));
        m_window->show();
    }

    QVariant eval(const QString &script, int timeoutMs = 30000)
    {
        QEventLoop loop;
        QVariant result;
        bool done = false;
        m_pane->runScript(script, [&](const QVariant &value) {
            result = value;
            done = true;
            loop.quit();
        });
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        if (!done)
            loop.exec();
        return result;
    }

    void settle(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Waits for the engine to have drawn what the page shows now.
    void drawn()
    {
        eval(QStringLiteral("window.__probeFrames = 0; requestAnimationFrame(function () { requestAnimationFrame("
                            "function () { window.__probeFrames = 2; }); }); true"));
        for (int i = 0; i < 100 && eval(QStringLiteral("window.__probeFrames")).toInt() < 2; ++i)
            settle(20);
        settle(80);
    }

    bool load(const QString &page, std::optional<Reading::Look> look)
    {
        if (!m_pageLook && look)
            m_pageLook = new Reading::PageLook(*m_pane, *look, m_pane);
        if (m_pageLook && look)
            m_pageLook->show(*look);
        QEventLoop loop;
        bool ok = false;
        auto done = QObject::connect(m_pane, &Platform::BrowserPane::documentComplete, &loop, [&] {
            ok = true;
            loop.quit();
        });
        auto failed = QObject::connect(m_pane, &Platform::BrowserPane::loadFailed, &loop, [&] { loop.quit(); });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        m_pane->navigate(m_base + page);
        loop.exec();
        QObject::disconnect(done);
        QObject::disconnect(failed);
        if (!ok)
            return false;
        for (int i = 0; i < 250; ++i) {
            const bool ready =
                eval(QStringLiteral("document.readyState === 'complete' && Array.from(document.images).every("
                                    "function (i) { return i.complete; })"))
                    .toBool();
            if (ready)
                break;
            settle(20);
        }
        drawn();
        return true;
    }

    // One page in one look. `thumbs` holds the pictures of the reference
    // rendering: each look's are compared against it, and a look that
    // `becomesReference` puts its own there after.
    QJsonObject measure(const QString &page, const QString &lookName, std::map<int, std::pair<double, Thumb>> &thumbs,
                        bool becomesReference)
    {
        QJsonObject out{{QStringLiteral("page"), page}, {QStringLiteral("look"), lookName}};
        const QVariantMap last = eval(QStringLiteral("window.__tamberlynLook ? window.__tamberlynLook.last() : null")).toMap();
        out[QStringLiteral("mode")] = last.value(QStringLiteral("mode"), QStringLiteral("none")).toString();
        out[QStringLiteral("applyMs")] = last.value(QStringLiteral("ms")).toDouble();
        // A page loaded again comes back where it was left.
        eval(QStringLiteral("window.scrollTo(0, 0); true"));
        drawn();
        if (!m_shots.isEmpty()) {
            QString file = page + u'-' + lookName + QStringLiteral(".png");
            file.replace(u'/', u'_');
            m_pane->view()->grab().save(m_shots + u'/' + file);
        }
        const int count = eval(QString::fromUtf8(CollectRuns)).toInt();
        const QVariantList colours =
            eval(QStringLiteral("window.__probe.nodes.map(function (e) { return [e.colour, e.opacity, e.text]; })"))
                .toList();
        eval(QString::fromUtf8(HideText));
        const int scrollHeight = eval(QStringLiteral("Math.max(document.documentElement.scrollHeight, "
                                                     "document.body ? document.body.scrollHeight : 0)"))
                                     .toInt();
        const int scrollWidth = eval(QStringLiteral("document.documentElement.scrollWidth")).toInt();
        const int viewHeight = eval(QStringLiteral("document.documentElement.clientHeight")).toInt();
        const int viewWidth = eval(QStringLiteral("document.documentElement.clientWidth")).toInt();
        std::map<int, double> worstOf; // node -> lowest ratio
        std::map<int, std::pair<Colour, Colour>> worstColours;
        int pictures = 0, inverted = 0, altered = 0;
        QSet<int> picturesSeen;
        std::map<int, std::pair<double, Thumb>> newThumbs;
        int chunks = 0;
        QList<QPoint> places;
        for (int y = 0; y < qMax(1, scrollHeight); y += qMax(1, viewHeight)) {
            // Wide pages (long lines of code) are read sideways as well.
            for (int x = 0; x < qMax(1, scrollWidth); x += qMax(1, viewWidth))
                places << QPoint(x, y);
        }
        for (const QPoint &at : std::as_const(places)) {
            if (chunks++ >= m_maxChunks)
                break;
            eval(QStringLiteral("window.scrollTo(%1, %2); true").arg(at.x()).arg(at.y()));
            drawn();
            const QImage shot = m_pane->view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QJsonObject boxes = QJsonDocument::fromJson(eval(QString::fromUtf8(BoxesInView)).toString().toUtf8()).object();
            const qreal scale = shot.width() / qreal(m_pane->view()->width());
            const auto pixels = [scale](double left, double top, double w, double h) {
                return QRect(QPoint(qRound(left * scale), qRound(top * scale)),
                             QPoint(qRound((left + w) * scale) - 1, qRound((top + h) * scale) - 1));
            };
            for (const QJsonValue &v : boxes.value(QStringLiteral("runs")).toArray()) {
                const QJsonArray run = v.toArray();
                const int node = run[0].toInt();
                const QVariantList info = colours.value(node).toList();
                auto text = parseColour(info.value(0).toString());
                const auto ground = groundIn(shot, pixels(run[2].toDouble(), run[3].toDouble(), run[4].toDouble(),
                                                          run[5].toDouble()));
                if (!text || !ground)
                    continue;
                text->a *= info.value(1).toDouble();
                if (text->a <= 0.01)
                    continue; // text the page made invisible
                const double ratio = contrast(over(*text, *ground), *ground);
                auto it = worstOf.find(node);
                if (it == worstOf.end() || ratio < it->second) {
                    worstOf[node] = ratio;
                    worstColours[node] = {over(*text, *ground), *ground};
                }
            }
            for (const QJsonValue &v : boxes.value(QStringLiteral("pictures")).toArray()) {
                const QJsonArray pic = v.toArray();
                const int index = pic[0].toInt();
                if (picturesSeen.contains(index))
                    continue;
                picturesSeen.insert(index);
                ++pictures;
                const Thumb thumb = thumbOf(shot, pixels(pic[1].toDouble(), pic[2].toDouble(), pic[3].toDouble(),
                                                         pic[4].toDouble()));
                const double top = pic[5].toDouble();
                const auto before = thumbs.find(index);
                // A picture laid out elsewhere in this look is not compared.
                if (before != thumbs.end() && std::abs(before->second.first - top) <= 1) {
                    const double same = meanDifference(before->second.second, thumb, false);
                    const double opposite = meanDifference(before->second.second, thumb, true);
                    if (same > 32 && opposite < same)
                        ++inverted;
                    else if (same > 16)
                        ++altered;
                }
                if (becomesReference)
                    newThumbs[index] = {top, thumb};
            }
        }
        if (becomesReference)
            thumbs = std::move(newThumbs);
        double minimum = 0;
        QList<std::pair<double, int>> order;
        for (const auto &[node, ratio] : worstOf)
            order << std::pair{ratio, node};
        std::sort(order.begin(), order.end());
        QJsonArray worst;
        for (qsizetype i = 0; i < order.size() && i < 3; ++i) {
            const auto [ratio, node] = order[i];
            worst.append(QJsonObject{{QStringLiteral("ratio"), std::round(ratio * 100) / 100},
                                     {QStringLiteral("text"), colours.value(node).toList().value(2).toString()},
                                     {QStringLiteral("fg"), colourText(worstColours[node].first)},
                                     {QStringLiteral("bg"), colourText(worstColours[node].second)}});
        }
        if (!order.isEmpty())
            minimum = order.first().first;
        out[QStringLiteral("nodes")] = count;
        out[QStringLiteral("runs")] = int(worstOf.size());
        out[QStringLiteral("min")] = std::round(minimum * 100) / 100;
        out[QStringLiteral("below4_5")] = int(std::count_if(worstOf.begin(), worstOf.end(),
                                                            [](const auto &e) { return e.second < 4.5; }));
        out[QStringLiteral("below7")] = int(std::count_if(worstOf.begin(), worstOf.end(),
                                                          [](const auto &e) { return e.second < 7.0; }));
        out[QStringLiteral("worst")] = worst;
        out[QStringLiteral("pictures")] = pictures;
        out[QStringLiteral("inverted")] = inverted;
        out[QStringLiteral("altered")] = altered;
        out[QStringLiteral("chunks")] = chunks;
        out[QStringLiteral("height")] = scrollHeight;
        out[QStringLiteral("width")] = scrollWidth;
        return out;
    }

    // How long a change of look takes to reach the page shown: from the
    // request to the page script's answer, as the viewer logs it.
    double switchTo(Reading::Look look)
    {
        if (!m_pageLook)
            m_pageLook = new Reading::PageLook(*m_pane, Reading::Look::Light, m_pane);
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        auto shown = QObject::connect(m_pageLook, &Reading::PageLook::shown, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        m_pageLook->show(look);
        loop.exec();
        QObject::disconnect(shown);
        return double(clock.nsecsElapsed()) / 1e6;
    }

    // Where to keep a picture of each page's first window height, as the
    // learner sees it; none when empty.
    void keepShots(const QString &folder) { m_shots = folder; }

    void forgetLook()
    {
        // "today": no look script at all.
        delete m_pageLook;
        m_pageLook = nullptr;
        m_pane->setDocumentScript(QStringLiteral("tamberlyn-look"), QString());
        m_pane->setBackdrop(Qt::white);
    }

private:
    QString m_base;
    QWidget *m_window;
    Platform::WebEnginePane *m_pane;
    Reading::PageLook *m_pageLook = nullptr;
    int m_maxChunks;
    QString m_shots;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Measures text contrast and pictures of pages in each look."));
    parser.addHelpOption();
    const QCommandLineOption baseOption(QStringLiteral("base"), QStringLiteral("Address the pages are under."),
                                        QStringLiteral("url"));
    const QCommandLineOption pinOption(QStringLiteral("pin"), QStringLiteral("SHA-256 of the server's certificate."),
                                       QStringLiteral("sha256"));
    const QCommandLineOption looksOption(QStringLiteral("looks"), QStringLiteral("Looks to measure, in order."),
                                         QStringLiteral("list"), QStringLiteral("today,light,dark,contrast"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("The page area."), QStringLiteral("WxH"),
                                        QStringLiteral("1280x1000"));
    const QCommandLineOption chunksOption(QStringLiteral("chunks"), QStringLiteral("Most window heights per page."),
                                          QStringLiteral("n"), QStringLiteral("40"));
    const QCommandLineOption shotsOption(QStringLiteral("shots"),
                                         QStringLiteral("Keep a picture of each page's first window in this folder."),
                                         QStringLiteral("dir"));
    parser.addOptions({baseOption, pinOption, looksOption, sizeOption, chunksOption, shotsOption});
    parser.addPositionalArgument(QStringLiteral("pages"), QStringLiteral("Page names under the base address."));
    parser.process(app);

    Platform::CertificatePins pins;
    const QUrl base(parser.value(baseOption));
    if (const auto pin = Platform::CertificatePins::parseFingerprint(parser.value(pinOption)))
        pins.pin(base.authority(), *pin);
    const QStringList size = parser.value(sizeOption).split(QLatin1Char('x'));
    Probe probe(parser.value(baseOption), pins, QSize(size.value(0).toInt(), size.value(1).toInt()),
                parser.value(chunksOption).toInt());
    if (parser.isSet(shotsOption))
        probe.keepShots(parser.value(shotsOption));
    const QStringList looks = parser.value(looksOption).split(QLatin1Char(','));

    for (const QString &page : parser.positionalArguments()) {
        std::map<int, std::pair<double, Thumb>> thumbs;
        for (const QString &name : looks) {
            const bool today = name == QLatin1String("today");
            const auto look = today ? std::nullopt : Reading::lookFromName(name);
            if (!today && !look) {
                std::fprintf(stderr, "lookprobe: no look \"%s\"\n", qPrintable(name));
                return 2;
            }
            if (today)
                probe.forgetLook();
            if (!probe.load(page, look)) {
                std::printf("%s\n", QJsonDocument(QJsonObject{{QStringLiteral("page"), page},
                                                              {QStringLiteral("look"), name},
                                                              {QStringLiteral("error"), QStringLiteral("no load")}})
                                        .toJson(QJsonDocument::Compact)
                                        .constData());
                std::fflush(stdout);
                continue;
            }
            const bool reference = look == Reading::Look::Light;
            QJsonObject result = probe.measure(page, name, thumbs, reference || today);
            if (reference) {
                // The page shown, in light, changed to dark in place.
                probe.load(page, Reading::Look::Light);
                result[QStringLiteral("switchMs")] = std::round(probe.switchTo(Reading::Look::Dark) * 10) / 10;
                // Beside it, the engine's bare round trip for a script that
                // does nothing: what any change on the page shown costs on
                // this machine now.
                QElapsedTimer roundTrip;
                roundTrip.start();
                probe.eval(QStringLiteral("0"));
                result[QStringLiteral("roundTripMs")] = std::round(double(roundTrip.nsecsElapsed()) / 1e5) / 10;
            }
            std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
            std::fflush(stdout);
        }
    }
    return 0;
}
