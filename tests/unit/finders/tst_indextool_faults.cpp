// Faults the index tool's tests cannot make otherwise: the tests run as
// root, whom no file mode keeps from reading, and no file system here fails
// a read half way. Loaded into tamberlyn-index with LD_PRELOAD; which calls
// fail is read from TAMBERLYN_TEST_FAULTS, a comma-separated list of
//   open:NAME        opening a file whose name ends in NAME fails (EACCES)
//   read:NAME:BYTES  reading it gives BYTES bytes, then fails (EIO)
//   rename:NAME      renaming it into place fails (EIO)
// Every other call goes through untouched.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace {

struct Fault
{
    std::string kind;
    std::string name;
    long bytes = 0;
};

// Parsed once; at most a few faults.
const Fault *faults(int *count)
{
    static Fault list[8];
    static int n = -1;
    if (n < 0) {
        n = 0;
        const char *wanted = std::getenv("TAMBERLYN_TEST_FAULTS");
        std::string rest = wanted ? wanted : "";
        while (!rest.empty() && n < 8) {
            const std::size_t comma = rest.find(',');
            const std::string item = rest.substr(0, comma);
            rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
            const std::size_t colon = item.find(':');
            if (colon == std::string::npos)
                continue;
            Fault &fault = list[n++];
            fault.kind = item.substr(0, colon);
            fault.name = item.substr(colon + 1);
            const std::size_t second = fault.name.find(':');
            if (second != std::string::npos) {
                fault.bytes = std::atol(fault.name.c_str() + second + 1);
                fault.name.resize(second);
            }
        }
    }
    *count = n;
    return list;
}

bool endsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

const Fault *faultFor(const char *kind, const std::string &path)
{
    int count = 0;
    const Fault *list = faults(&count);
    for (int i = 0; i < count; ++i) {
        if (list[i].kind == kind && endsWith(path, "/" + list[i].name))
            return &list[i];
        if (list[i].kind == kind && path == list[i].name)
            return &list[i];
    }
    return nullptr;
}

std::string pathOf(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t length = ::readlink(link, target, sizeof target - 1);
    return length > 0 ? std::string(target, std::size_t(length)) : std::string();
}

template <typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// What a faulty read has given so far, by descriptor.
long givenSoFar[1024];

} // namespace

extern "C" {

int openat(int dirfd, const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = mode_t(va_arg(arguments, int));
        va_end(arguments);
    }
    if (faultFor("open", path)) {
        errno = EACCES;
        return -1;
    }
    const int fd = next<int (*)(int, const char *, int, ...)>("openat")(dirfd, path, flags, mode);
    if (fd >= 0 && fd < 1024)
        givenSoFar[fd] = 0;
    return fd;
}

int open(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = mode_t(va_arg(arguments, int));
        va_end(arguments);
    }
    return openat(AT_FDCWD, path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = mode_t(va_arg(arguments, int));
        va_end(arguments);
    }
    return openat(AT_FDCWD, path, flags, mode);
}

ssize_t read(int fd, void *buffer, size_t count)
{
    const auto real = next<ssize_t (*)(int, void *, size_t)>("read");
    if (fd < 0 || fd >= 1024)
        return real(fd, buffer, count);
    const Fault *fault = faultFor("read", pathOf(fd));
    if (!fault)
        return real(fd, buffer, count);
    const long left = fault->bytes - givenSoFar[fd];
    if (left <= 0) {
        errno = EIO;
        return -1;
    }
    const ssize_t got = real(fd, buffer, count < size_t(left) ? count : size_t(left));
    if (got > 0)
        givenSoFar[fd] += got;
    return got;
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    if (faultFor("rename", to)) {
        errno = EIO;
        return -1;
    }
    return next<int (*)(int, const char *, int, const char *)>("renameat")(fromDir, from, toDir, to);
}

} // extern "C"
