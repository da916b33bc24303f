#pragma once

#include "tables/tablefilereader.h"

#include <QList>
#include <QStringList>

namespace Tamberlyn::IndexTool {

// Everything in a folder's "words.vxp" and "files.vxp" that breaks their
// format. The first problems of lines are kept in full, one line each with
// its file and line number, and the rest only counted, by file and kind: a
// hostile file can hold a problem on every one of its hundred million lines,
// and neither the report nor the memory to hold it should grow with them.
// The few problems of a whole file (missing, too large, too many lines) are
// always kept in full.
struct CheckReport
{
    static constexpr qsizetype ShownProblems = 100;

    // Problems of one kind in one file beyond the ones shown.
    struct Tally
    {
        QString file;
        QString kind;
        qsizetype count = 0;
    };

    QStringList shown; // "FILE:LINE: what" or "FILE: what", in the order found
    QList<Tally> notShown; // by file, each file's kinds in the order first met
    qsizetype problemCount = 0;
    qsizetype fileLines = 0;
    qsizetype wordLines = 0;
};

// Each file is read once, as bytes, and walked a line at a time, decoding
// only the line at hand: the peak is the file's bytes and its longest line
// as text, whatever the file holds.
CheckReport checkIndexFolder(const QString &folder, const Tables::TableFileReader &reader);

} // namespace Tamberlyn::IndexTool
