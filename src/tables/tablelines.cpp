#include "tablelines.h"

namespace Tamberlyn::Tables {

CutText cutLines(QStringView text, qsizetype limit)
{
    CutText cut;
    qsizetype pos = 0;
    while (pos < text.size()) {
        if (cut.lines.size() == limit) {
            cut.overLimit = true;
            break;
        }
        const qsizetype cr = text.indexOf(u'\r', pos);
        if (cr < 0) {
            cut.lines.append({text.sliced(pos), LineEnd::None});
            break;
        }
        LineEnd end = LineEnd::CrAtEnd;
        if (cr + 1 < text.size())
            end = text.at(cr + 1) == u'\n' ? LineEnd::CrLf : LineEnd::CrOther;
        cut.lines.append({text.sliced(pos, cr - pos), end});
        pos = std::min(cr + 2, text.size());
    }
    return cut;
}

} // namespace Tamberlyn::Tables
