#include "readmarksscript.h"

#include "coursekey.h"

#include "navigation/coursemap.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Tamberlyn::Learner {

namespace {

constexpr char ScriptBody[] = R"JS(
  'use strict';
  var started = performance.now();
  document.querySelectorAll('.' + markClass).forEach(function (e) { e.remove(); });
  var read = new Set(data.read);
  var counts = data.counts;
  var result = {marked: 0, counted: 0, ms: 0};
  if (!document.getElementById(markClass + '-style')) {
    var style = document.createElement('style');
    style.id = markClass + '-style';
    style.textContent =
      '.' + markClass + ' { display: inline !important; float: none !important; position: static !important;'
      + ' margin: 0 0 0 0.35em !important; padding: 0 !important; border: 0 !important;'
      + ' font-size: 0.8em !important; font-weight: normal !important; font-style: normal !important;'
      + ' line-height: 0 !important; white-space: nowrap !important; text-decoration: none !important;'
      + ' vertical-align: baseline !important; background: none !important; }'
      + '.' + markClass + '-tick { color: #2e7d32 !important; }'
      + '.' + markClass + '-count { color: #4a5868 !important; }'
      + '@media print { .' + markClass + ' { display: none !important; } }';
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
  function mark(kind, text) {
    var span = document.createElement('span');
    span.className = markClass + ' ' + markClass + '-' + kind;
    span.setAttribute('data-noindex', '');
    span.textContent = text;
    return span;
  }
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
    var after = a;
    if (isRead) {
      var tick = mark('tick', '\u2713');
      tick.setAttribute('role', 'img');
      tick.setAttribute('aria-label', 'read');
      tick.title = 'read';
      after.after(tick);
      after = tick;
      result.marked++;
    }
    if (count) {
      after.after(mark('count', count[0] + ' of ' + count[1] + ' pages read'));
      result.counted++;
    }
  }
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

QString readMarksScript(const ReadMarks &marks)
{
    QJsonArray read;
    for (const QString &page : marks.readPages)
        read.append(page);
    QJsonObject counts;
    for (auto it = marks.moduleCounts.cbegin(); it != marks.moduleCounts.cend(); ++it)
        counts.insert(it.key(), QJsonArray{it->first, it->second});
    QString json = QString::fromUtf8(
        QJsonDocument(QJsonObject{{QStringLiteral("read"), read}, {QStringLiteral("counts"), counts}})
            .toJson(QJsonDocument::Compact));
    json.replace(QChar(0x2028), QLatin1String("\\u2028")).replace(QChar(0x2029), QLatin1String("\\u2029"));
    return QStringLiteral("(function (data, markClass) {") + QString::fromUtf8(ScriptBody) + QStringLiteral("})(")
           + json + QStringLiteral(", '") + QLatin1String(ReadMarkClass) + QStringLiteral("');");
}

} // namespace Tamberlyn::Learner
