#pragma once

#include "platform/sharedmemory.h"

#include <QByteArray>

namespace Tamberlyn::Platform {

// Named shared memory on POSIX (shm_open + mmap). A block name is the POSIX
// object name without its prefix: with the default prefix "/" the block
// "OrvaneName" is the object "/OrvaneName" (on Linux the file
// /dev/shm/OrvaneName), and likewise "/OrvanePrev" and "/OrvaneEnd". The
// simulators use the same names, so the prefix is changed only by tests,
// which must never touch a block a running simulator holds.
//
// /dev/shm is one namespace for every user of the machine, unlike the
// per-session namespace the blocks were first designed for. An object that
// belongs to another user is therefore refused: whoever owns it could feed
// paths to our simulators or cut it short under our view.
class PosixSharedMemory final : public SharedMemory
{
    Q_DISABLE_COPY_MOVE(PosixSharedMemory)

public:
    // `namePrefix` must begin with "/" and contain no other "/".
    explicit PosixSharedMemory(QByteArray namePrefix = QByteArrayLiteral("/"));
    ~PosixSharedMemory() override = default;

    std::unique_ptr<SharedBlock> openExisting(const QByteArray &name) override;
    std::unique_ptr<SharedBlock> create(const QByteArray &name, qsizetype size) override;
    QString errorString() const override { return m_error; }

private:
    QByteArray objectName(const QByteArray &name) const { return m_prefix + name; }
    std::unique_ptr<SharedBlock> adopt(int fd, const QByteArray &objectName);

    QByteArray m_prefix;
    QString m_error;
};

} // namespace Tamberlyn::Platform
