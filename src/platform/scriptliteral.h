#pragma once

#include <QString>

namespace Tamberlyn::Platform {

// JSON text made safe to stand as a literal in a page script: JSON allows
// the line and paragraph separators raw inside strings, older script
// engines did not.
inline QString scriptLiteral(QString json)
{
    return json.replace(QChar(0x2028), QLatin1String("\\u2028")).replace(QChar(0x2029), QLatin1String("\\u2029"));
}

} // namespace Tamberlyn::Platform
