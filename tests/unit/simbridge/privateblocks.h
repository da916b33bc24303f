#pragma once

#include "../common/fakes.h"
#include "shmpeer.h"

#include "platform/posix/posixsharedmemory.h"
#include "simbridge/sharedblocks.h"

// The three blocks, opened for real under a prefix of the test's own and
// removed again afterwards, with a fake for the boxes they may show.
struct PrivateBlocks
{
    QByteArray prefix = ShmPeer::uniquePrefix();
    Tamberlyn::Platform::PosixSharedMemory memory{prefix};
    Fakes::Dialogs dialogs;
    Tamberlyn::SimBridge::SharedBlocks blocks{memory, dialogs};

    PrivateBlocks() { blocks.openSharedBlocks(); }
    ~PrivateBlocks()
    {
        blocks.release();
        ShmPeer::unlinkAll({prefix + "OrvanePrev", prefix + "OrvaneEnd", prefix + "OrvaneName"});
    }
    Q_DISABLE_COPY_MOVE(PrivateBlocks)

    // A block's bytes as another process sees them.
    QByteArray block(const char *name) const { return ShmPeer::contents(prefix + name); }
};
