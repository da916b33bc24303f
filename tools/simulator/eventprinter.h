#pragma once

#include <QString>

namespace Tamberlyn::Simulator {

// Writes one line per event to stdout and flushes it at once: whoever
// follows the stand-in reads a pipe and must see each event as it happens.
class EventPrinter final
{
public:
    void print(const QString &line) const;
};

} // namespace Tamberlyn::Simulator
