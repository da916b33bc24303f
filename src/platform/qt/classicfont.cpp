#include "classicfont.h"

namespace Tamberlyn::Platform {

QFont classicSansSerif(qreal pointSize, bool bold)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace Tamberlyn::Platform
