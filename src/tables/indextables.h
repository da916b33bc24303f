#pragma once

#include "tablelimits.h"

#include <QList>
#include <QString>

#include <utility>

namespace Tamberlyn::Tables {

// One line of "words.vxp": the index word, and its file list (decimal file
// numbers, each followed by a TAB). Both empty for a line without a TAB.
struct WordLine
{
    QString word;
    QString fileList;
    friend bool operator==(const WordLine &, const WordLine &) = default;
};

// One line of "files.vxp": the page file relative to the course base
// address, and the title the search lists. Both empty for a line that held
// no page.
struct PageLine
{
    QString pageFile;
    QString title;
    friend bool operator==(const PageLine &, const PageLine &) = default;
};

// A table file in memory. Entries are found by line number: slot n holds
// line n, and every slot from 0 to 12400 that no line filled is empty.
template <typename Line>
class Table final
{
public:
    Table() = default;
    explicit Table(QList<Line> lines)
        : m_lines(std::move(lines))
    {
        if (m_lines.size() > MaxTableLines)
            m_lines.resize(MaxTableLines);
    }

    // The lines read: slots 1 to lineCount().
    qsizetype lineCount() const { return m_lines.size(); }
    const QList<Line> &lines() const { return m_lines; }

    const Line &slot(qsizetype n) const
    {
        static const Line empty;
        return n >= 1 && n <= m_lines.size() ? m_lines.at(n - 1) : empty;
    }

private:
    QList<Line> m_lines;
};

using WordTable = Table<WordLine>;
using PageTable = Table<PageLine>;

} // namespace Tamberlyn::Tables
