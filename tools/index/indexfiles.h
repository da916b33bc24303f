#pragma once

#include "tables/codepage.h"
#include "tables/indextables.h"

#include <QByteArray>
#include <QList>

namespace Tamberlyn::IndexTool {

// The bytes of the two table files in their exact format: CR LF after every
// line, TAB between fields, "files.vxp" lines numbered from 1, the code
// page's single bytes.
QByteArray filesVxp(const QList<Tables::PageLine> &pages, const Tables::CodePage &codePage);
QByteArray wordsVxp(const QList<Tables::WordLine> &words, const Tables::CodePage &codePage);

} // namespace Tamberlyn::IndexTool
