#pragma once

#include "pagespot.h"

#include <QString>

namespace Tamberlyn::Learner {

// The scripts that find and restore a learner's spot on a page (pagespot.h).
//
// Blocks of text are the page's headings, paragraphs, list entries,
// definitions, preformatted text, quotations, captions, table cells and
// pictures that show; a block's quote is its first words with white space
// folded (a picture's is its alternative text). The spot is the first block
// not wholly above the view. Each script's value is an object with the
// spot's fields and the page's title, as the page is scrolled when the
// script ends.

// Where the view is now. With `onlyIfMoved`, a view scrolled nowhere since
// the last time this page was asked gives {unchanged: true} and nothing more:
// the record looks every second, and a page read at rest costs nothing.
QString captureSpotScript(bool onlyIfMoved = false);
// Scrolls to `spot`: the block with its quote and occurrence (else the
// first with its quote), `fraction` of the way into it; without such a
// block, the scrolled share. Then tells where the view is, as
// captureSpotScript() does, so the caller sees where it landed.
QString restoreSpotScript(const PageSpot &spot);

} // namespace Tamberlyn::Learner
