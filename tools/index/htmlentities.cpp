#include "htmlentities.h"

#include "platform/ansicodepage.h"

#include <QHash>

#include <array>

namespace Tamberlyn::IndexTool {

namespace {

// The names of U+00A0 to U+00FF, in order.
constexpr std::array<const char *, 96> Latin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct Named
{
    const char *name;
    char16_t character;
};

constexpr std::array<Named, 35> OtherNames = {{
    {"amp", u'&'},       {"lt", u'<'},        {"gt", u'>'},        {"quot", u'"'},      {"apos", u'\''},
    {"OElig", u'\u0152'}, {"oelig", u'\u0153'}, {"Scaron", u'\u0160'}, {"scaron", u'\u0161'},
    {"Yuml", u'\u0178'}, {"fnof", u'\u0192'},  {"circ", u'\u02C6'},  {"tilde", u'\u02DC'}, {"ensp", u'\u2002'},
    {"emsp", u'\u2003'}, {"thinsp", u'\u2009'}, {"zwnj", u'\u200C'},  {"zwj", u'\u200D'},   {"ndash", u'\u2013'},
    {"mdash", u'\u2014'}, {"lsquo", u'\u2018'}, {"rsquo", u'\u2019'}, {"sbquo", u'\u201A'}, {"ldquo", u'\u201C'},
    {"rdquo", u'\u201D'}, {"bdquo", u'\u201E'}, {"dagger", u'\u2020'}, {"Dagger", u'\u2021'}, {"bull", u'\u2022'},
    {"hellip", u'\u2026'}, {"permil", u'\u2030'}, {"lsaquo", u'\u2039'}, {"rsaquo", u'\u203A'},
    {"euro", u'\u20AC'}, {"trade", u'\u2122'},
}};

const QHash<QString, char16_t> &namedEntities()
{
    static const QHash<QString, char16_t> table = [] {
        QHash<QString, char16_t> names;
        for (std::size_t i = 0; i < Latin1Names.size(); ++i)
            names.insert(QLatin1String(Latin1Names[i]), char16_t(0xA0 + i));
        for (const Named &named : OtherNames)
            names.insert(QLatin1String(named.name), named.character);
        return names;
    }();
    return table;
}

QString fromCodePoint(char32_t code)
{
    // As browsers do: the C1 range means the Windows-1252 characters, and
    // what is no character at all becomes the replacement character.
    if (code >= 0x80 && code < 0xA0) {
        const char byte = char(code);
        return Platform::fromAnsi(QByteArrayView(&byte, 1));
    }
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
        code = 0xFFFD;
    return QString::fromUcs4(&code, 1);
}

std::optional<Entity> numericAt(QStringView text)
{
    // `text` starts with "&#". At most eight digits, so the value cannot
    // overflow; anything larger is no character anyway.
    const bool hex = text.size() > 2 && (text.at(2) == u'x' || text.at(2) == u'X');
    const qsizetype digitsBegin = hex ? 3 : 2;
    qsizetype i = digitsBegin;
    char32_t code = 0;
    for (; i < text.size() && i - digitsBegin < 8; ++i) {
        const char16_t c = text.at(i).unicode();
        int value = -1;
        if (c >= u'0' && c <= u'9')
            value = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            value = 10 + (c - u'a');
        else if (hex && c >= u'A' && c <= u'F')
            value = 10 + (c - u'A');
        if (value < 0)
            break;
        code = code * (hex ? 16 : 10) + char32_t(value);
    }
    if (i == digitsBegin || i >= text.size() || text.at(i) != u';')
        return std::nullopt;
    return Entity{fromCodePoint(code), i + 1};
}

} // namespace

std::optional<Entity> entityAt(QStringView text)
{
    if (text.size() < 3 || text.front() != u'&')
        return std::nullopt;
    if (text.at(1) == u'#')
        return numericAt(text);
    qsizetype end = 1;
    while (end < text.size() && end < 10 && text.at(end).isLetterOrNumber() && text.at(end).unicode() < 0x80)
        ++end;
    if (end == 1 || end >= text.size() || text.at(end) != u';')
        return std::nullopt;
    const auto found = namedEntities().constFind(text.sliced(1, end - 1).toString());
    if (found == namedEntities().cend())
        return std::nullopt;
    return Entity{QString(QChar(*found)), end + 1};
}

} // namespace Tamberlyn::IndexTool
