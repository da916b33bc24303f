#pragma once

#include <QStringList>

namespace Tamberlyn::Reading {

// The class of the marks the search words get, and the script that sets
// them: every word of the page's text that begins with one of `words`,
// letter case aside, as the Search window matches index words, is wrapped
// in <mark class="tamberlyn-search-word">, light blue behind black text on
// the screen: apart from the yellow and orange the engine marks find-in-page
// matches with, and clear to red-green colour blindness. On paper the marks
// do not show. What the word index leaves
// out (scripts, styles, navigation bars, the page's own header, footer and
// sidebar, hidden and author-marked elements) is left alone, and so are form
// fields, whose text a mark would change. A word the index joined across
// inline elements ("<tt>DataView</tt>s") is matched one text run at a time,
// so only a run that begins with a search word is marked. The first mark on screen is scrolled into view when it is not in view
// already. The script's value is the number of marks set.
//
// The words go into the script as JSON data, never as script text, so no
// word can change what the script does.
inline constexpr char SearchWordClass[] = "tamberlyn-search-word";
QString searchWordsScript(const QStringList &words);

// The number of search-word marks in the page shown.
QString searchWordMarksScript();

} // namespace Tamberlyn::Reading
