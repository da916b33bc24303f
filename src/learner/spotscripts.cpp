#include "spotscripts.h"

#include "platform/scriptliteral.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Tamberlyn::Learner {

namespace {

constexpr char ScriptBody[] = R"JS(
  'use strict';
  var blocks = 'h1,h2,h3,h4,h5,h6,p,li,dt,dd,pre,blockquote,figcaption,caption,th,td,legend,img';
  function quoteOf(e) {
    var text;
    if (e.tagName === 'IMG')
      text = e.getAttribute('alt') || (e.getAttribute('src') || '').split('/').pop();
    else
      text = e.textContent || '';
    return text.replace(/\s+/g, ' ').trim().slice(0, maxQuote).trim();
  }
  function blocksWithQuotes() {
    var list = [];
    var seen = Object.create(null);
    document.querySelectorAll(blocks).forEach(function (e) {
      if (!e.getClientRects().length)
        return;
      var q = quoteOf(e);
      if (!q)
        return;
      var n = seen[q] || 0;
      seen[q] = n + 1;
      list.push({e: e, q: q, n: n});
    });
    return list;
  }
  function scrollRange() {
    var root = document.scrollingElement || document.documentElement;
    return Math.max(0, root.scrollHeight - window.innerHeight);
  }
  function capture() {
    var y = window.scrollY;
    var range = scrollRange();
    var spot = {title: document.title || '', quote: '', occurrence: 0, fraction: 0,
                ratio: range > 0 ? Math.min(1, Math.max(0, y / range)) : 0};
    if (y <= 0) {
      spot.ratio = 0;
      return spot;
    }
    var list = blocksWithQuotes();
    for (var i = 0; i < list.length; i++) {
      var r = list[i].e.getBoundingClientRect();
      if (r.height > 0 && r.bottom > 0.5) {
        spot.quote = list[i].q;
        spot.occurrence = list[i].n;
        spot.fraction = r.top < 0 ? Math.min(0.999, -r.top / r.height) : 0;
        return spot;
      }
    }
    return spot;
  }
  var last = window.tamberlynSpotAt;
  window.tamberlynSpotAt = {x: window.scrollX, y: window.scrollY, h: document.documentElement.scrollHeight};
  if (onlyIfMoved && last && last.x === window.scrollX && last.y === window.scrollY
      && last.h === document.documentElement.scrollHeight)
    return {unchanged: true};
  if (wanted) {
    var target = null, first = null;
    if (wanted.quote) {
      var list = blocksWithQuotes();
      for (var i = 0; i < list.length && !target; i++) {
        if (list[i].q !== wanted.quote)
          continue;
        first = first || list[i];
        if (list[i].n === wanted.occurrence)
          target = list[i];
      }
      target = target || first;
    }
    if (target) {
      var r = target.e.getBoundingClientRect();
      window.scrollTo(window.scrollX, window.scrollY + r.top + wanted.fraction * r.height);
    } else if (wanted.ratio > 0) {
      window.scrollTo(window.scrollX, wanted.ratio * scrollRange());
    }
  }
  var spot = capture();
  window.tamberlynSpotAt = {x: window.scrollX, y: window.scrollY, h: document.documentElement.scrollHeight};
  return spot;
)JS";

QString script(const QString &wantedJson, bool onlyIfMoved)
{
    return QStringLiteral("(function (wanted, onlyIfMoved, maxQuote) {") + QString::fromUtf8(ScriptBody)
           + QStringLiteral("})(") + wantedJson + (onlyIfMoved ? QStringLiteral(", true, ") : QStringLiteral(", false, "))
           + QString::number(PageSpot::MaxQuote) + QStringLiteral(");");
}

} // namespace

QString captureSpotScript(bool onlyIfMoved)
{
    return script(QStringLiteral("null"), onlyIfMoved);
}

QString restoreSpotScript(const PageSpot &spot)
{
    // The quote goes in as JSON data, never as script text.
    return script(Platform::scriptLiteral(spot.toJson()), false);
}

} // namespace Tamberlyn::Learner
