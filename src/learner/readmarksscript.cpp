#include "readmarksscript.h"

#include "coursekey.h"

#include "navigation/coursemap.h"
#include "platform/scriptliteral.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Tamberlyn::Learner {

namespace {

// The marks are the links' own generated content (::after), switched on by
// two attributes: no element is added to the page, so nothing in it moves
// but the line the mark ends, and neither the word marks of a search nor
// find in page meet the marks' words. The tick's alternative text is what
// a screen reader reads: "read". A module's link shows its count alone,
// green once the module has been opened.
constexpr char ScriptBody[] = R"JS(
  'use strict';
  var started = performance.now();
  var readAttribute = 'data-' + markClass;
  var countAttribute = 'data-' + markClass + '-count';
  document.querySelectorAll('a[' + readAttribute + '], a[' + countAttribute + ']').forEach(function (a) {
    a.removeAttribute(readAttribute);
    a.removeAttribute(countAttribute);
  });
  var read = new Set(data.read);
  var counts = data.counts;
  var result = {marked: 0, counted: 0, ms: 0};
  if (!document.getElementById(markClass + '-style')) {
    var marked = 'a[' + readAttribute + ']::after, a[' + countAttribute + ']::after';
    var lookRoot = 'html[data-tamberlyn-page-look]';
    var contrastRoot = 'html[data-tamberlyn-page-look="contrast"]';
    var style = document.createElement('style');
    style.id = markClass + '-style';
    style.textContent =
      marked + ' { display: inline-block !important; float: none !important; position: static !important;'
      + ' margin: 0 0 0 0.35em !important; padding: 0 !important; border: 0 !important;'
      + ' font-size: 0.8em !important; font-weight: normal !important; font-style: normal !important;'
      + ' line-height: normal !important; white-space: nowrap !important; text-decoration: none !important;'
      + ' vertical-align: baseline !important; background: none !important; color: #4a5868 !important; }'
      + 'a[' + readAttribute + ']::after { content: "\\2713" / "read" !important; color: #2e7d32 !important; }'
      + 'a[' + countAttribute + ']::after { content: attr(' + countAttribute + ') !important; color: #4a5868 !important; }'
      + 'a[' + readAttribute + '][' + countAttribute + ']::after { color: #2e7d32 !important; }'
      // In the dark and high-contrast looks (the look says which on the
      // root), light colours that read on the looks' dark grounds.
      + lookRoot + ' a[' + readAttribute + ']::after, ' + lookRoot + ' a[' + countAttribute + ']::after'
      + ' { color: #b4c0cc !important; }'
      + lookRoot + ' a[' + readAttribute + ']::after, ' + lookRoot + ' a[' + readAttribute + '][' + countAttribute + ']::after'
      + ' { color: #8fd694 !important; }'
      + contrastRoot + ' a[' + countAttribute + ']::after { color: #ffffff !important; }'
      + contrastRoot + ' a[' + readAttribute + ']::after, ' + contrastRoot + ' a[' + readAttribute + '][' + countAttribute + ']::after'
      + ' { color: #ffff00 !important; }'
      + '@media print { ' + marked + ' { display: none !important; content: none !important; } }';
    (document.head || document.documentElement).appendChild(style);
  }
  var furniture = ['NAV', 'HEADER', 'FOOTER', 'ASIDE'];
  var sectioning = 'article, aside, main, nav, section';
  function inFurniture(a) {
    for (var e = a.parentElement; e; e = e.parentElement) {
      if (e.tagName === 'NAV' || e.hasAttribute('hidden'))
        return true;
      if (furniture.indexOf(e.tagName) >= 0 && !(e.parentElement && e.parentElement.closest(sectioning)))
        return true;
    }
    return false;
  }
  var items = [];
  var links = document.links;
  for (var i = 0; i < links.length; i++) {
    var a = links[i];
    if (typeof a.href !== 'string')
      continue;
    var at = a.href.indexOf('kq/');
    if (at < 0)
      continue;
    var page = a.href.slice(at + 3).split('#')[0];
    var count = Object.prototype.hasOwnProperty.call(counts, page) ? counts[page] : null;
    var isRead = read.has(page);
    if (!isRead && !count)
      continue;
    if (inFurniture(a))
      continue;
    items.push([a, isRead, count ? count[0] + ' of ' + count[1] + ' pages read' : null]);
    if (isRead && !count)
      result.marked++;
    if (count)
      result.counted++;
  }
  function mark(item) {
    if (item[1])
      item[0].setAttribute(readAttribute, '');
    if (item[2])
      item[0].setAttribute(countAttribute, item[2]);
  }
  // The links on the screen and a screen's height around it are marked at
  // once; the others follow a few at a time, each batch in a frame of its
  // own, so that a page of hundreds of links never takes a long frame. A
  // later run (the next page's, or a forget) stops the batches of this one.
  var generation = (window[markClass + '-generation'] || 0) + 1;
  window[markClass + '-generation'] = generation;
  var height = window.innerHeight;
  var rest = [];
  var now = items.filter(function (item) {
    var r = item[0].getBoundingClientRect();
    var near = r.bottom > -height && r.top < 2 * height;
    if (!near)
      rest.push(item);
    return near;
  });
  now.forEach(mark);
  var batches = {times: [], done: rest.length === 0};
  window[markClass + '-batches'] = batches;
  function next() {
    if (window[markClass + '-generation'] !== generation)
      return;
    var began = performance.now();
    rest.splice(0, 40).forEach(mark);
    if (measure)
      document.body.offsetHeight;
    batches.times.push(performance.now() - began);
    if (rest.length)
      setTimeout(next, 16);
    else
      batches.done = true;
  }
  if (rest.length)
    setTimeout(next, 16);
  result.first = now.length;
  result.ms = performance.now() - started;
  return result;
)JS";

} // namespace

ReadMarks readMarksFor(const QStringList &links, const QSet<QString> &read, const CoursePages &course)
{
    ReadMarks marks;
    for (const QString &link : links) {
        const std::optional<QString> name = Navigation::pageNameOf(link);
        if (!name)
            continue;
        const QString page = pageKey(*name);
        if (read.contains(page))
            marks.readPages.insert(page);
        const int module = moduleOfPage(page);
        if (module <= 0 || page != CoursePages::openingPageOf(module) || marks.moduleCounts.contains(page))
            continue;
        const QStringList pages = course.pageNamesOf(module);
        if (pages.isEmpty())
            continue;
        int done = 0;
        for (const QString &one : pages)
            done += read.contains(one) ? 1 : 0;
        marks.moduleCounts.insert(page, {done, static_cast<int>(pages.size())});
    }
    return marks;
}

QString readMarksScript(const ReadMarks &marks, bool measure)
{
    QJsonArray read;
    for (const QString &page : marks.readPages)
        read.append(page);
    QJsonObject counts;
    for (auto it = marks.moduleCounts.cbegin(); it != marks.moduleCounts.cend(); ++it)
        counts.insert(it.key(), QJsonArray{it->first, it->second});
    const QString json = Platform::scriptLiteral(QString::fromUtf8(
        QJsonDocument(QJsonObject{{QStringLiteral("read"), read}, {QStringLiteral("counts"), counts}})
            .toJson(QJsonDocument::Compact)));
    return QStringLiteral("(function (data, markClass, measure) {") + QString::fromUtf8(ScriptBody)
           + QStringLiteral("})(") + json + QStringLiteral(", '") + QLatin1String(ReadMarkClass)
           + (measure ? QStringLiteral("', true);") : QStringLiteral("', false);"));
}

} // namespace Tamberlyn::Learner
