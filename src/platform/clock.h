#pragma once

namespace Tamberlyn::Platform {

// Millisecond tick and the one-second wait that keeps window events flowing.
class Clock
{
public:
    virtual ~Clock() = default;

    // The tick as the program reads it: never negative (see tickcount.h).
    virtual double tickNow() const = 0;
    // Returns after about one second; pending events (timers, page loads,
    // input) run meanwhile, so callers must expect re-entry.
    virtual void waitSecond() = 0;
};

} // namespace Tamberlyn::Platform
