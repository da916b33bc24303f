#pragma once

#include "simbridge/simulatorchannel.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <memory>

class QWidget;

namespace Tamberlyn::Platform {
class Dialogs;
class SharedBlock;
class SharedMemory;
} // namespace Tamberlyn::Platform

namespace Tamberlyn::SimBridge {

// The three named blocks the viewer shares with Orvanix and Prismo:
//   "OrvanePrev"  1 byte    request code (2 Prismo, 3 Orvanix)
//   "OrvaneEnd"   4 bytes   end flag, 32-bit little-endian (0 started, 1 quit)
//   "OrvaneName"  255 bytes circuit path, zero-padded; its first byte
//                           non-zero means a simulation is open
// A block that could not be opened or mapped has no view, and every later
// read or write of it is skipped without a word: the course goes on without
// the simulators rather than nagging the learner at every poll.
// Each write is followed by a flush of exactly the bytes written, since the
// simulators poll the blocks from other processes without any lock.
class SharedBlocks final : public SimulatorChannel
{
    Q_DISABLE_COPY_MOVE(SharedBlocks)

public:
    enum class Block { Prev, End, Name };

    static constexpr qsizetype RequestCodeSize = 1;
    static constexpr qsizetype EndFlagSize = 4;
    static constexpr qsizetype PathSize = 255;

    static constexpr quint8 PrismoRequest = 2;
    static constexpr quint8 OrvanixRequest = 3;

    // Boxes about blocks that cannot be had are owned by `dialogOwner`.
    SharedBlocks(Platform::SharedMemory &memory, Platform::Dialogs &dialogs,
                 QWidget *dialogOwner = nullptr);
    ~SharedBlocks() override;

    void setDialogOwner(QWidget *owner) { m_dialogOwner = owner; }

    // OpenSharedBlocks: opens each block, or creates it when there is none,
    // and maps its view, in the order OrvanePrev, OrvaneEnd, OrvaneName.
    // "Can't create file map" when a block can be neither opened nor
    // created, "Can't create map view" when it has no view after all; then
    // on with the next block. An existing block keeps its content. Calling
    // it again first releases what the previous call opened.
    void openSharedBlocks() override;
    void writeEndFlag(qint32 value) override;
    // Unmaps and closes each block, OrvanePrev, OrvaneEnd, OrvaneName;
    // writes nothing and never removes a block, which a simulator may
    // still hold. Harmless when repeated or when nothing was opened.
    void release() override;

    // The learner quit the course from the companion window: end flag 1.
    void ShutOffVK();
    // The learner went back to the text: all 255 path bytes zero.
    void ShutOffWithfile();

    // Writes the path image to OrvaneName: the bytes of `path` (one per
    // character), cut at 255 or padded with zeros to 255, so a long path
    // has no terminating zero and a short one leaves nothing of an earlier
    // path behind.
    void writeCircuitPath(QByteArrayView path);
    void writeRequestCode(quint8 code);

    // A copy of all 255 bytes of OrvaneName; empty without a view.
    QByteArray readName() const;
    // The first byte of OrvaneName is non-zero.
    bool simulationOpen() const;
    // The byte in OrvanePrev as it stands; 0 without a view (hasView tells
    // that apart from a 0 someone wrote).
    quint8 readRequestCode() const;
    // The 32-bit little-endian end flag as it stands; 0 without a view.
    qint32 readEndFlag() const;

    bool hasView(Block block) const;
    static QByteArray blockName(Block block);

private:
    Platform::SharedBlock *view(Block block) const;
    void writeBlock(Block block, QByteArrayView bytes);
    void tell(const QString &text);

    Platform::SharedMemory &m_memory;
    Platform::Dialogs &m_dialogs;
    QWidget *m_dialogOwner = nullptr;
    std::array<std::unique_ptr<Platform::SharedBlock>, 3> m_blocks;
};

} // namespace Tamberlyn::SimBridge
