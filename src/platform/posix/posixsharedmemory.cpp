#include "posixsharedmemory.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Tamberlyn::Platform {

namespace {

QString describe(const char *what, const QByteArray &objectName, int err)
{
    return QString::fromLatin1(what) + QLatin1Char(' ') + QString::fromLocal8Bit(objectName)
        + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err));
}

// The block's present length, or -1 when it cannot be told.
qint64 currentSize(int fd)
{
    struct stat st = {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return -1;
    return st.st_size;
}

class PosixSharedBlock final : public SharedBlock
{
    Q_DISABLE_COPY_MOVE(PosixSharedBlock)

public:
    PosixSharedBlock(int fd, QByteArray objectName)
        : m_fd(fd), m_objectName(std::move(objectName))
    {
    }
    ~PosixSharedBlock() override { close(); }

    bool map(qsizetype size) override
    {
        unmap();
        if (m_fd < 0)
            return fail("map", EBADF);
        if (size <= 0)
            return fail("map", EINVAL);

        struct stat st = {};
        if (::fstat(m_fd, &st) != 0)
            return fail("fstat", errno);
        if (!S_ISREG(st.st_mode))
            return fail("map", EINVAL);
        // Touching a page of the view that lies wholly past the object's end
        // raises SIGBUS, and bytes past the end within the last page are not
        // part of the object for anyone else. A block made smaller by someone
        // else (or by an older viewer, which made the end flag 1 byte long)
        // is lengthened instead; ftruncate keeps what is already there.
        if (st.st_size < size && ::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
            return fail("ftruncate", errno);

        void *view = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE,
                            MAP_SHARED, m_fd, 0);
        // MAP_FAILED spelt out: the macro is an old-style cast.
        if (view == reinterpret_cast<void *>(std::intptr_t{-1}))
            return fail("mmap", errno);
        m_view = static_cast<char *>(view);
        m_size = size;
        return true;
    }

    bool isMapped() const override { return m_view != nullptr; }
    qsizetype mappedSize() const override { return m_size; }

    bool write(qsizetype offset, QByteArrayView bytes) override
    {
        if (!accessible(offset, bytes.size()))
            return false;
        if (!bytes.isEmpty())
            std::memcpy(m_view + offset, bytes.data(), static_cast<size_t>(bytes.size()));
        return true;
    }

    QByteArray read(qsizetype offset, qsizetype count) const override
    {
        if (!accessible(offset, count))
            return {};
        return QByteArray(m_view + offset, count);
    }

    bool flush(qsizetype offset, qsizetype count) override
    {
        if (!inView(offset, count))
            return false;
        if (count == 0)
            return true;
        // msync wants a page-aligned address; the view starts on a page, so
        // flush from the page holding the first byte through the last byte.
        const auto page = static_cast<qsizetype>(::sysconf(_SC_PAGESIZE));
        const qsizetype start = page > 0 ? offset - offset % page : 0;
        if (::msync(m_view + start, static_cast<size_t>(offset + count - start), MS_SYNC) != 0)
            return fail("msync", errno);
        return true;
    }

    void unmap() override
    {
        if (m_view)
            ::munmap(m_view, static_cast<size_t>(m_size));
        m_view = nullptr;
        m_size = 0;
    }

    void close() override
    {
        unmap();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    QString errorString() const override { return m_error; }

private:
    bool fail(const char *what, int err) const
    {
        m_error = describe(what, m_objectName, err);
        return false;
    }

    bool inView(qsizetype offset, qsizetype count) const
    {
        if (!m_view)
            return fail("access", ENXIO);
        if (offset < 0 || count < 0 || offset > m_size || count > m_size - offset)
            return fail("access", ERANGE);
        return true;
    }

    // Another process may have cut the object short since we mapped it;
    // copying into pages past its new end would kill us with SIGBUS, so
    // check that the object still holds the range before each copy. (This
    // narrows the window to the copy itself; the simulators never shrink
    // the blocks, so a well-behaved peer never reaches it.)
    bool accessible(qsizetype offset, qsizetype count) const
    {
        if (!inView(offset, count))
            return false;
        if (count > 0 && currentSize(m_fd) < offset + count)
            return fail("access", EFAULT);
        return true;
    }

    int m_fd = -1;
    QByteArray m_objectName;
    char *m_view = nullptr;
    qsizetype m_size = 0;
    mutable QString m_error;
};

} // namespace

PosixSharedMemory::PosixSharedMemory(QByteArray namePrefix) : m_prefix(std::move(namePrefix)) {}

std::unique_ptr<SharedBlock> PosixSharedMemory::openExisting(const QByteArray &name)
{
    const QByteArray object = objectName(name);
    // A NUL inside the name would quietly open a different, shorter name.
    if (object.contains('\0')) {
        m_error = describe("shm_open", object, EINVAL);
        return nullptr;
    }
    const int fd = ::shm_open(object.constData(), O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
        m_error = describe("shm_open", object, errno);
        return nullptr;
    }
    return adopt(fd, object);
}

std::unique_ptr<SharedBlock> PosixSharedMemory::create(const QByteArray &name, qsizetype size)
{
    const QByteArray object = objectName(name);
    if (object.contains('\0') || size < 0) {
        m_error = describe("shm_open", object, EINVAL);
        return nullptr;
    }
    const int fd = ::shm_open(object.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        // Another process created it between our open and this create: it
        // exists now, so open it as we first meant to.
        if (errno == EEXIST)
            return openExisting(name);
        m_error = describe("shm_open", object, errno);
        return nullptr;
    }
    // The umask must not leave the simulators (same user) without write
    // access, nor give anyone else more than that.
    ::fchmod(fd, 0600);
    // A new object is empty; lengthening it fills it with zeros. When this
    // fails the empty object is left in place: a simulator may already have
    // opened it, and mapping lengthens it on the next run anyway.
    if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        m_error = describe("ftruncate", object, errno);
        ::close(fd);
        return nullptr;
    }
    return adopt(fd, object);
}

std::unique_ptr<SharedBlock> PosixSharedMemory::adopt(int fd, const QByteArray &object)
{
    struct stat st = {};
    if (::fstat(fd, &st) != 0) {
        m_error = describe("fstat", object, errno);
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        m_error = describe("shm_open", object, EPERM)
            + QStringLiteral(" (not a shared memory object of this user)");
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixSharedBlock>(fd, object);
}

} // namespace Tamberlyn::Platform
