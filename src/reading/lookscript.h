#pragma once

#include "looks.h"

#include <QString>

namespace Tamberlyn::Reading {

// The page side of the looks (pagelook.js): what each look does to a page's
// colours, the contrast it promises every text run, and how it keeps
// pictures and print as they were.

// For every document from its start: the look comes with the document's
// elements, before the engine paints them.
QString documentLookScript(Look look);
// For the document shown: its look changes in place. The script's value
// is what it did: look, mode ("light", "as-made", "darkened", "forced"),
// elements and override classes, media queries turned, milliseconds taken,
// and the body's text and ground colours as the engine computes them now.
QString applyLookScript(Look look);
// The same report of the last change of the document shown, or nothing
// when the look has not touched it.
QString lastLookScript();

// The script itself, for tools that drive it on their own.
QString pageLookEngine();

} // namespace Tamberlyn::Reading
