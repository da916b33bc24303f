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

template <typename View>
BasicCutText<View> cut(View text, qsizetype limit)
{
    BasicCutText<View> cut;
    const auto *const data = units(text);
    const qsizetype size = text.size();
    qsizetype pos = 0;
    while (pos < size) {
        if (cut.lines.size() == limit) {
            cut.overLimit = true;
            break;
        }
        const qsizetype cr = std::find(data + pos, data + size, '\r') - data;
        if (cr == size) {
            cut.lines.append({text.sliced(pos), LineEnd::None});
            break;
        }
        LineEnd end = LineEnd::CrAtEnd;
        if (cr + 1 < size)
            end = data[cr + 1] == '\n' ? LineEnd::CrLf : LineEnd::CrOther;
        cut.lines.append({text.sliced(pos, cr - pos), end});
        pos = std::min(cr + 2, size);
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
