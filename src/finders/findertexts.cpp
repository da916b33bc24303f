#include "findertexts.h"

namespace Tamberlyn::Finders {

QString initialFoundLabel()
{
    return QStringLiteral("Found:");
}

QString wordsFoundLabel(qsizetype count)
{
    return QStringLiteral("Found:  ") + QString::number(count) + QStringLiteral(" words");
}

QString pagesFoundLabel(qsizetype count)
{
    return QStringLiteral("Found:  ") + QString::number(count) + QStringLiteral(" pages");
}

} // namespace Tamberlyn::Finders
