#pragma once

#include "platform/clock.h"

namespace Tamberlyn::Platform {

class SystemClock final : public Clock
{
public:
    double tickNow() const override;
    // Always about one second, measured on a monotonic clock, so the wait
    // does not end early when the 32-bit tick counter wraps.
    void waitSecond() override;
};

} // namespace Tamberlyn::Platform
