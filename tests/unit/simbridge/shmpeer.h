#pragma once

// Looks at POSIX shared memory objects the way another process would: its
// own shm_open and its own mapping, never through the code under test.
// Every test works under a prefix of its own, so it can neither meet a
// block a real simulator holds nor one left by an earlier test.

#include <QByteArray>
#include <QByteArrayList>
#include <QtGlobal>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ShmPeer {

// "/tmbtest-<pid>-<n>-": unique within the machine for the test's life.
inline QByteArray uniquePrefix()
{
    static std::atomic<int> counter{0};
    return QByteArrayLiteral("/tmbtest-") + QByteArray::number(::getpid()) + '-'
        + QByteArray::number(++counter) + '-';
}

inline void unlinkAll(const QByteArrayList &objectNames)
{
    for (const QByteArray &name : objectNames)
        ::shm_unlink(name.constData());
}

struct Info
{
    qint64 size = -1;
    mode_t mode = 0;
    uid_t owner = 0;
};

inline std::optional<Info> stat(const QByteArray &objectName)
{
    const int fd = ::shm_open(objectName.constData(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    struct stat st = {};
    const bool ok = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return Info{st.st_size, st.st_mode & 07777, st.st_uid};
}

// The whole object as seen through a separate mapping; empty when missing.
inline QByteArray contents(const QByteArray &objectName)
{
    const int fd = ::shm_open(objectName.constData(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return {};
    struct stat st = {};
    QByteArray bytes;
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        const auto size = static_cast<size_t>(st.st_size);
        void *view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (view != reinterpret_cast<void *>(std::intptr_t{-1})) {
            bytes = QByteArray(static_cast<const char *>(view), static_cast<qsizetype>(size));
            ::munmap(view, size);
        }
    }
    ::close(fd);
    return bytes;
}

// Creates or overwrites an object with exactly `bytes` (and that length),
// as a simulator that got there first would.
inline bool put(const QByteArray &objectName, const QByteArray &bytes)
{
    const int fd = ::shm_open(objectName.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    if (ok && !bytes.isEmpty()) {
        const auto size = static_cast<size_t>(bytes.size());
        void *view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ok = view != reinterpret_cast<void *>(std::intptr_t{-1});
        if (ok) {
            std::memcpy(view, bytes.constData(), size);
            ::munmap(view, size);
        }
    }
    ::close(fd);
    return ok;
}

inline bool truncate(const QByteArray &objectName, qint64 size)
{
    const int fd = ::shm_open(objectName.constData(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    return ok;
}

} // namespace ShmPeer
