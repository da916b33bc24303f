#include "tablelines.h"

#include <algorithm>

namespace Tamberlyn::Tables {

namespace {

// The code units of either view, to compare with plain characters.
const char16_t *units(QStringView text)
{
    return text.utf16();
}

const char *units(QByteArrayView bytes)
{
    return bytes.data();
}

} // namespace

template <typename View>
std::optional<BasicTextLine<View>> BasicLineCutter<View>::next()
{
    const auto *const data = units(m_text);
    const qsizetype size = m_text.size();
    const qsizetype pos = m_pos;
    if (pos >= size)
        return std::nullopt;
    const qsizetype cr = std::find(data + pos, data + size, '\r') - data;
    if (cr == size) {
        m_pos = size;
        return BasicTextLine<View>{m_text.sliced(pos), LineEnd::None};
    }
    LineEnd end = LineEnd::CrAtEnd;
    if (cr + 1 < size)
        end = data[cr + 1] == '\n' ? LineEnd::CrLf : LineEnd::CrOther;
    m_pos = std::min(cr + 2, size);
    return BasicTextLine<View>{m_text.sliced(pos, cr - pos), end};
}

template class BasicLineCutter<QStringView>;
template class BasicLineCutter<QByteArrayView>;

namespace {

template <typename View>
BasicCutText<View> cut(View text, qsizetype limit)
{
    BasicCutText<View> cut;
    BasicLineCutter<View> cutter(text);
    while (const auto line = cutter.next()) {
        if (cut.lines.size() == limit) {
            cut.overLimit = true;
            break;
        }
        cut.lines.append(*line);
    }
    return cut;
}

} // namespace

CutText cutLines(QStringView text, qsizetype limit)
{
    return cut(text, limit);
}

CutBytes cutLines(QByteArrayView bytes, qsizetype limit)
{
    return cut(bytes, limit);
}

} // namespace Tamberlyn::Tables
