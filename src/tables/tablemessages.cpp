#include "tablemessages.h"

namespace Tamberlyn::Tables {

QString messageText(TableMessage message)
{
    switch (message) {
    case TableMessage::TooManyWords:
        return QStringLiteral("Too many words!");
    case TableMessage::TooManyFiles:
        return QStringLiteral("Too many files!");
    case TableMessage::TooManyHistoryEntries:
        return QStringLiteral("Too many History entries!");
    }
    return {};
}

} // namespace Tamberlyn::Tables
