#include "systemclock.h"

#include "platform/tickcount.h"

#include <QEventLoop>
#include <QTimer>

namespace Tamberlyn::Platform {

double SystemClock::tickNow() const
{
    return tickNowFromCounter(systemTickCounter());
}

void SystemClock::waitSecond()
{
    QEventLoop loop;
    QTimer::singleShot(1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace Tamberlyn::Platform
