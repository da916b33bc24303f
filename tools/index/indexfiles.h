#pragma once

#include "finders/codepage.h"
#include "finders/indextables.h"

#include <QByteArray>
#include <QList>

namespace Tamberlyn::IndexTool {

// The bytes of the two table files in their exact format: CR LF after every
// line, TAB between fields, "files.vxp" lines numbered from 1, the code
// page's single bytes.
QByteArray filesVxp(const QList<Finders::PageLine> &pages, const Finders::CodePage &codePage);
QByteArray wordsVxp(const QList<Finders::WordLine> &words, const Finders::CodePage &codePage);

// Replaces `path` with `bytes` all at once, so a reader never sees half a
// file. False, with the reason in `error`, when it could not.
bool writeWhole(const QString &path, const QByteArray &bytes, QString *error);

} // namespace Tamberlyn::IndexTool
