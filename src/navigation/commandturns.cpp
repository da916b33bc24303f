#include "commandturns.h"

#include "platform/clock.h"

#include <QLoggingCategory>

namespace Tamberlyn::Navigation {

Q_LOGGING_CATEGORY(lcCommands, "tamberlyn.commands", QtWarningMsg)

CommandTurns::Turn CommandTurns::take(const QString &command, const QString &window)
{
    ++m_latest;
    qCInfo(lcCommands).noquote() << QStringLiteral("command %1: %2 in %3").arg(m_latest).arg(command, window);
    return m_latest;
}

bool CommandTurns::waitSecond(Platform::Clock &clock, Turn turn, const char *step)
{
    clock.waitSecond();
    if (isLatest(turn))
        return true;
    qCInfo(lcCommands).noquote() << QStringLiteral("command %1 overtaken by command %2 before %3")
                                        .arg(turn)
                                        .arg(m_latest)
                                        .arg(QLatin1String(step));
    return false;
}

} // namespace Tamberlyn::Navigation
