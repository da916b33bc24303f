#pragma once

#include <QtGlobal>

namespace Tamberlyn::SimBridge {

// What start-up and shutdown need of the shared blocks the viewer keeps with
// the simulators.
class SimulatorChannel
{
public:
    virtual ~SimulatorChannel() = default;

    // Opens or creates the three blocks and maps their views; failures are
    // reported to the learner and leave that block without a view.
    virtual void openSharedBlocks() = 0;
    // Writes the 4-byte little-endian end flag and flushes those bytes.
    virtual void writeEndFlag(qint32 value) = 0;
    // Unmaps and closes every block; harmless when nothing was opened.
    virtual void release() = 0;
};

} // namespace Tamberlyn::SimBridge
