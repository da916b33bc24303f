#include "numberfields.h"

#include "tablelimits.h"
#include "textrules.h"

namespace Tamberlyn::Tables {

namespace {

// Digits only, at most `maxValue`; nothing on the first other character or
// as soon as the value passes the limit, so a long run of digits cannot
// overflow.
std::optional<qint64> decimal(QStringView digits, qint64 maxValue)
{
    if (digits.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > maxValue)
            return std::nullopt;
    }
    return value;
}

} // namespace

bool isInt16Field(QStringView field)
{
    QStringView text = trimSpaces(field);
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    return decimal(text, negative ? 32768 : 32767).has_value();
}

QList<FileListField> fileListFields(QStringView fileList)
{
    QList<FileListField> fields;
    qsizetype pos = 0;
    while (pos < fileList.size()) {
        const qsizetype tab = fileList.indexOf(u'\t', pos);
        if (tab < 0) {
            fields.append({fileList.sliced(pos), false});
            break;
        }
        fields.append({fileList.sliced(pos, tab - pos), true});
        pos = tab + 1;
    }
    return fields;
}

std::optional<qsizetype> fileNumber(QStringView field)
{
    const auto value = decimal(trimSpaces(field), MaxTableLines);
    if (!value || *value == 0)
        return std::nullopt;
    return static_cast<qsizetype>(*value);
}

} // namespace Tamberlyn::Tables
