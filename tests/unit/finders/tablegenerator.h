#pragma once

// Index tables and histories made up from a seed, with the faults real files
// could hold mixed in: blank lines, words with spaces around them, letter
// case, characters beyond ASCII, file numbers that are 0, too big or not
// numbers, file lists whose last number lacks its TAB, repeated and empty
// page files, and page files that are part of other page files.

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

struct GeneratedIndex
{
    QString files;       // the text of a "files.vxp"
    QString words;       // the text of a "words.vxp"
    QStringList queries; // entry texts: prefixes of words, one to three words, blanks
    QString history;     // the text of a "history.vxp"
};

struct GeneratorShape
{
    int pages = 200;
    int words = 300;
    int filesPerWord = 6;
    int queries = 60;
    int historyLines = 300;
    bool faults = true;
};

GeneratedIndex generateIndex(quint32 seed, const GeneratorShape &shape);
