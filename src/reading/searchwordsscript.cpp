#include "searchwordsscript.h"

#include "platform/scriptliteral.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace Tamberlyn::Reading {

namespace {

// Word characters are the word index's: letters with their accents, decimal
// digits and letter numbers; an apostrophe between two letters stays inside
// a word ("Ohm's"), and invisible format characters such as the soft hyphen
// do not break one. A word starts where no word character comes before: the
// index also files each part of a hyphenated or apostrophed word on its own
// ("get" of "apt-get", "être" of "d'être"), so the search finds a page by
// those parts and the page must show them. The typographic apostrophes and
// hyphens stand for the plain ones, as they do in the search.
constexpr char ScriptBody[] = R"JS(
  'use strict';
  var wordChar = '[\\p{L}\\p{M}\\p{Nd}\\p{Nl}]';
  var apostrophe = "['\u2018\u2019\u02BC]";
  var hyphen = '[-\u2010\u2011]';
  function pattern(word) {
    var parts = [];
    for (var ch of word) {
      if (/['\u2018\u2019\u02BC]/.test(ch))
        parts.push(apostrophe);
      else if (/[-\u2010\u2011]/.test(ch))
        parts.push(hyphen);
      else
        parts.push(ch.replace(/[\^$\\.*+?()[\]{}|]/g, '\\$&'));
    }
    return parts.join('\\p{Cf}*');
  }
  var alternatives = words.filter(function (w) { return w.length > 0; }).map(pattern);
  if (!alternatives.length || !document.body)
    return 0;
  var found = new RegExp('(?<!' + wordChar + '|\\p{Cf})(?:' + alternatives.join('|') + ')(?:'
                         + wordChar + '|\\p{Cf}|' + apostrophe + '(?=\\p{L}))*', 'giu');
  var skipped = ['SCRIPT', 'STYLE', 'NOSCRIPT', 'TEMPLATE', 'TEXTAREA', 'SELECT', 'OPTION', 'NAV'];
  var furniture = ['HEADER', 'FOOTER', 'ASIDE'];
  var sectioning = 'article, aside, main, nav, section';
  function inSkipped(node) {
    for (var e = node.parentElement; e; e = e.parentElement) {
      // What the word index leaves out (the author's marker, hidden
      // elements, the page's own header, footer and sidebar) is not where
      // the search found the word either.
      if (skipped.indexOf(e.tagName) >= 0 || e.isContentEditable
          || e.hasAttribute('data-noindex') || e.classList.contains('noindex') || e.hasAttribute('hidden')
          || (furniture.indexOf(e.tagName) >= 0 && !(e.parentElement && e.parentElement.closest(sectioning)))
          || (e.tagName === 'MARK' && e.classList.contains(markClass)))
        return true;
    }
    return false;
  }
  // The marks' colours come from a style sheet of the viewer's own, for the
  // screen only: a printed page carries none of them, not even the engine's
  // yellow for a <mark>. A constructed sheet is no <style> element, so a
  // page's content security policy does not stop it, and it is adopted once
  // per document.
  if (!document.adoptedStyleSheets.some(function (sheet) { return sheet.tamberlynMarks; })) {
    var sheet = new CSSStyleSheet();
    sheet.replaceSync('@media not print { mark.' + markClass + ' { background-color: #a6e1ff !important;'
                      + ' color: #000000 !important; } }'
                      + ' @media print { mark.' + markClass + ' { background: none !important;'
                      + ' color: inherit !important; } }');
    sheet.tamberlynMarks = true;
    document.adoptedStyleSheets = document.adoptedStyleSheets.concat([sheet]);
  }
  var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT, {
    acceptNode: function (node) { return inSkipped(node) ? NodeFilter.FILTER_REJECT : NodeFilter.FILTER_ACCEPT; }
  });
  var texts = [];
  for (var node = walker.nextNode(); node; node = walker.nextNode())
    texts.push(node);
  var marks = [];
  texts.forEach(function (text) {
    var data = text.data;
    found.lastIndex = 0;
    var match, at = 0, pieces = null;
    // Every alternative takes at least one character, so the search moves on.
    while ((match = found.exec(data)) !== null) {
      pieces = pieces || document.createDocumentFragment();
      pieces.appendChild(document.createTextNode(data.slice(at, match.index)));
      var mark = document.createElement('mark');
      mark.className = markClass;
      mark.textContent = match[0];
      pieces.appendChild(mark);
      marks.push(mark);
      at = match.index + match[0].length;
    }
    if (pieces) {
      pieces.appendChild(document.createTextNode(data.slice(at)));
      text.parentNode.replaceChild(pieces, text);
    }
  });
  var shown = marks.find(function (m) { return m.getClientRects().length > 0; });
  if (shown) {
    var r = shown.getBoundingClientRect();
    if (r.top < 0 || r.bottom > window.innerHeight || r.left < 0 || r.right > window.innerWidth)
      shown.scrollIntoView({block: 'center', inline: 'nearest'});
  }
  return marks.length;
)JS";

} // namespace

QString searchWordsScript(const QStringList &words)
{
    const QString json = Platform::scriptLiteral(
        QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(words)).toJson(QJsonDocument::Compact)));
    return QStringLiteral("(function (words, markClass) {") + QString::fromUtf8(ScriptBody) + QStringLiteral("})(")
           + json + QStringLiteral(", '") + QLatin1String(SearchWordClass) + QStringLiteral("');");
}

QString searchWordMarksScript()
{
    return QStringLiteral("document.querySelectorAll('mark.%1').length").arg(QLatin1String(SearchWordClass));
}

} // namespace Tamberlyn::Reading
