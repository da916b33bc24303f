#pragma once

#include "tables/tablefilereader.h"

#include <QStringList>

namespace Tamberlyn::IndexTool {

// Everything in a folder's "words.vxp" and "files.vxp" that breaks their
// format, one line per problem, each with its file and line number.
struct CheckReport
{
    QStringList problems;
    qsizetype fileLines = 0;
    qsizetype wordLines = 0;
};

CheckReport checkIndexFolder(const QString &folder, const Tables::TableFileReader &reader);

} // namespace Tamberlyn::IndexTool
