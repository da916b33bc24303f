#pragma once

#include "tablelimits.h"

#include <QByteArrayView>
#include <QList>
#include <QStringView>

#include <optional>

namespace Tamberlyn::Tables {

// How a line was ended. Only CrLf is the files' own format; the others are
// read all the same and reported by the index tool's check.
enum class LineEnd {
    CrLf,
    CrOther,  // a CR followed by something else, which was dropped with it
    CrAtEnd,  // a CR as the very last character
    None,     // the last line, without a CR
};

template <typename View>
struct BasicTextLine
{
    View text;
    LineEnd end = LineEnd::None;
};

template <typename View>
struct BasicCutText
{
    QList<BasicTextLine<View>> lines; // line n is lines[n - 1]
    bool overLimit = false;           // a line after the limit exists; it was not cut
};

// Lines of decoded text, and lines of the file's own bytes: the code page
// gives CR and LF single bytes of their own, so both cut alike, and cutting
// the bytes lets a reader decode only what it keeps.
using TextLine = BasicTextLine<QStringView>;
using CutText = BasicCutText<QStringView>;
using ByteLine = BasicTextLine<QByteArrayView>;
using CutBytes = BasicCutText<QByteArrayView>;

// Cuts text into lines the way every table and the history file are cut:
// a line runs up to the next CR, and the CR and the one character after it
// (the LF) are dropped; text without a CR is the last line. Text that ends
// right after a line end has no empty line after it. The lines are views
// into `text`, which must outlive them.
CutText cutLines(QStringView text, qsizetype limit = MaxTableLines);
CutBytes cutLines(QByteArrayView bytes, qsizetype limit = MaxTableLines);

// The same cut one line at a time, for a reader that walks a whole file of
// any length and keeps no list of its lines: the index tool's check, which
// must not need memory by the line for a file of line breaks alone.
template <typename View>
class BasicLineCutter final
{
public:
    explicit BasicLineCutter(View text)
        : m_text(text)
    {
    }

    // The next line, or nothing once the text is used up.
    std::optional<BasicTextLine<View>> next();

private:
    View m_text;
    qsizetype m_pos = 0;
};

using LineCutter = BasicLineCutter<QStringView>;
using ByteLineCutter = BasicLineCutter<QByteArrayView>;

extern template class BasicLineCutter<QStringView>;
extern template class BasicLineCutter<QByteArrayView>;

} // namespace Tamberlyn::Tables
