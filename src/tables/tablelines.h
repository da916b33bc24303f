#pragma once

#include "tablelimits.h"

#include <QList>
#include <QStringView>

namespace Tamberlyn::Tables {

// How a line was ended. Only CrLf is the files' own format; the others are
// read all the same and reported by the index tool's check.
enum class LineEnd {
    CrLf,
    CrOther,  // a CR followed by something else, which was dropped with it
    CrAtEnd,  // a CR as the very last character
    None,     // the last line, without a CR
};

struct TextLine
{
    QStringView text;
    LineEnd end = LineEnd::None;
};

struct CutText
{
    QList<TextLine> lines;  // line n is lines[n - 1]
    bool overLimit = false; // a line after the limit exists; it was not cut
};

// Cuts text into lines the way every table and the history file are cut:
// a line runs up to the next CR, and the CR and the one character after it
// (the LF) are dropped; text without a CR is the last line. Text that ends
// right after a line end has no empty line after it. The lines are views
// into `text`, which must outlive them.
CutText cutLines(QStringView text, qsizetype limit = MaxTableLines);

} // namespace Tamberlyn::Tables
