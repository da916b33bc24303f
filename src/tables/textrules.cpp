#include "textrules.h"

namespace Tamberlyn::Tables {

QStringView trimSpaces(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.sliced(begin, end - begin);
}

QString upperCase(QStringView text)
{
    QString upper(text.size(), Qt::Uninitialized);
    QChar *out = upper.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        if (unit < 0x80) {
            // Most of the text is ASCII; spare it the Unicode tables.
            out[i] = QChar(unit >= u'a' && unit <= u'z' ? char16_t(unit - (u'a' - u'A')) : unit);
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            // Characters outside the basic plane map within their plane, so a
            // pair stays a pair.
            const char32_t upperChar = QChar::toUpper(QChar::surrogateToUcs4(unit, text.at(i + 1).unicode()));
            out[i] = QChar(QChar::highSurrogate(upperChar));
            out[i + 1] = QChar(QChar::lowSurrogate(upperChar));
            ++i;
        } else {
            const char32_t upperChar = QChar::toUpper(char32_t(unit));
            out[i] = QChar(upperChar <= 0xFFFF ? static_cast<char16_t>(upperChar) : unit);
        }
    }
    return upper;
}

QString searchKey(QStringView text)
{
    QString key = upperCase(text);
    for (QChar &c : key) {
        switch (c.unicode()) {
        case 0x2019:
        case 0x2018:
        case 0x02BC:
            c = u'\'';
            break;
        case 0x2010:
        case 0x2011:
            c = u'-';
            break;
        default:
            break;
        }
    }
    return key;
}

} // namespace Tamberlyn::Tables
