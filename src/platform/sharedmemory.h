#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <memory>

namespace Tamberlyn::Platform {

// One named block of memory shared with other processes, opened or created
// through SharedMemory. Whatever another process leaves in it is untrusted:
// every access is checked against the view and the block's present size, and
// an access that does not fit is refused rather than attempted.
class SharedBlock
{
public:
    virtual ~SharedBlock() = default;

    // Maps a readable and writable view of the first `size` bytes. A block
    // that is shorter than that is first lengthened (its content is kept),
    // so no byte of the view lies past the block's end. False on failure,
    // with errorString() telling why; the block then has no view.
    virtual bool map(qsizetype size) = 0;
    virtual bool isMapped() const = 0;
    // Bytes covered by the view; 0 without a view.
    virtual qsizetype mappedSize() const = 0;

    // Copies `bytes` into the view at `offset`. Refused (false, nothing
    // written) without a view or when the range does not lie inside it.
    virtual bool write(qsizetype offset, QByteArrayView bytes) = 0;
    // Copies `count` bytes out of the view; empty when refused.
    virtual QByteArray read(qsizetype offset, qsizetype count) const = 0;
    // Makes the given range of the view visible to the other processes.
    virtual bool flush(qsizetype offset, qsizetype count) = 0;

    // Drops the view; the block stays open. Harmless without a view.
    virtual void unmap() = 0;
    // Closes the block (dropping a view that is still there). The named
    // block itself lives on for as long as another process holds it.
    virtual void close() = 0;

    virtual QString errorString() const = 0;
};

// Named shared memory. The names are case-sensitive byte strings without a
// platform prefix; the implementation maps them to its own namespace.
class SharedMemory
{
public:
    virtual ~SharedMemory() = default;

    // Opens an existing block for reading and writing; null when there is
    // none (or it may not be used), with errorString() telling why.
    virtual std::unique_ptr<SharedBlock> openExisting(const QByteArray &name) = 0;
    // Creates a block of `size` zero bytes, readable and writable by this
    // user only, backed by memory rather than a file. Null on failure.
    virtual std::unique_ptr<SharedBlock> create(const QByteArray &name, qsizetype size) = 0;

    // Why the last openExisting() or create() failed.
    virtual QString errorString() const = 0;
};

} // namespace Tamberlyn::Platform
