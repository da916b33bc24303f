#pragma once

#include <QByteArray>
#include <QString>

namespace Tamberlyn::IndexTool {

// What the index takes from one course page: its title and the text a
// browser shows, read with an HTML5 parser (gumbo), so the page is taken
// apart exactly as a browser takes it apart, character references and
// malformed markup included.
//
// Left out: the head and everything a browser does not show (script, style,
// template, noscript as read with scripts on, the content of iframe,
// noembed, noframes, audio and video, elements with the hidden attribute);
// the page's
// furniture, the same on every page, which would make every page a result:
// nav anywhere, and header, footer and aside where they belong to the page
// rather than to an article or section inside it (the banner, contentinfo
// and complementary landmarks); and any element the author marks with the
// data-noindex attribute or the class noindex.
//
// Words run on across inline elements (b, a, span, tt, font, wbr, sub, ...,
// and unknown ones, which browsers show inline) and end at every other
// element: blocks, line breaks, table cells, form controls, pictures.
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
