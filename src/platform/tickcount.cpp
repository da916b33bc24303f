#include "tickcount.h"

#include <QDeadlineTimer>

namespace Tamberlyn::Platform {

double tickNowFromCounter(qint32 counter)
{
    if (counter > 0)
        return counter;
    return static_cast<double>(counter) + 2147483648.0;
}

qint32 systemTickCounter()
{
    // Monotonic milliseconds; the wrap at 2^32 is what the tick formula expects.
    const auto ms = static_cast<quint64>(QDeadlineTimer::current(Qt::PreciseTimer).deadline());
    return static_cast<qint32>(static_cast<quint32>(ms & 0xffffffffu));
}

} // namespace Tamberlyn::Platform
