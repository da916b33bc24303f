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

std::optional<FileListField> FileListWalker::next()
{
    if (m_pos >= m_list.size())
        return std::nullopt;
    const qsizetype start = m_pos;
    const qsizetype tab = m_list.indexOf(u'\t', start);
    if (tab < 0) {
        m_pos = m_list.size();
        return FileListField{m_list.sliced(start), false};
    }
    m_pos = tab + 1;
    return FileListField{m_list.sliced(start, tab - start), true};
}

QList<FileListField> fileListFields(QStringView fileList)
{
    QList<FileListField> fields;
    FileListWalker walker(fileList);
    while (const auto field = walker.next())
        fields.append(*field);
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
