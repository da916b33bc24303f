#pragma once

#include <QStringList>

namespace Tamberlyn::IndexTool {

// Splits page text into index words: runs of letters and decimal digits
// (with their accents), an apostrophe between two letters kept inside
// ("Ohm's"), and invisible format characters such as the soft hyphen
// dropped. A typographic apostrophe is kept as a plain one, the one the
// learner types. Everything else separates words: hyphens too, so
// "grid-connected" can be found under "connected". Words of one character
// are left out; they only crowd the Index window.
QStringList splitWords(QStringView text);

} // namespace Tamberlyn::IndexTool
