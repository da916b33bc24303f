#pragma once

#include "tables/codepage.h"

#include <QString>

namespace Tamberlyn::IndexTool {

// The text with every character the code page cannot hold written with the
// closest ones it can: an accent it lacks dropped ("ő" gives "o"), a
// compatibility form spelt out ("ﬁ" gives "fi", "⅓" gives "1/3"), and the
// signs and Greek letters of technical text by a small table ("kΩ" gives
// "kOhm", "≤" gives "<=", "−" gives "-"). A character with nothing close
// (a Chinese one, say) is left out, never written as "?". The code page's
// own characters stay as they are.
QString closestInCodePage(QStringView text, const Tables::CodePage &codePage);

} // namespace Tamberlyn::IndexTool
