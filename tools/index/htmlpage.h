#pragma once

#include <QByteArray>
#include <QString>

namespace Tamberlyn::IndexTool {

// What the index takes from one course page: its title and the text a reader
// sees. Tags, comments, scripts and styles are dropped, as are the head and
// the navigation bars (<nav>), whose text is the same on every page and would
// make every page a result for "Next"; character references are decoded.
// Inline tags (<b>, <a>, <sub>...) do not split a word; every other tag does.
struct HtmlPage
{
    QString title; // the first <title>, white space collapsed
    QString text;

    static HtmlPage parse(QStringView html);
    // Pages are read as UTF-8 when they are valid UTF-8, else as
    // Windows-1252, the code page of older course pages.
    static QString decode(const QByteArray &bytes);
};

} // namespace Tamberlyn::IndexTool
