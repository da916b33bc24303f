#include "findertexts.h"

namespace Tamberlyn::Finders {

QString messageText(FinderMessage message)
{
    switch (message) {
    case FinderMessage::TooManyWords:
        return QStringLiteral("Too many words!");
    case FinderMessage::TooManyFiles:
        return QStringLiteral("Too many files!");
    case FinderMessage::TooManyHistoryEntries:
        return QStringLiteral("Too many History entries!");
    }
    return {};
}

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
