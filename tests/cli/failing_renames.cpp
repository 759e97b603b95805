// Preloaded into ornamo-render by the tests of runs with several outputs: makes the kernel
// refuse what a test cannot make it refuse by itself. FAILING_RENAMES="name:n,..." fails every
// rename onto `name` from its n-th (counting from 0) on with EBUSY, as a mount point does;
// APPEND_ONLY="name" reports the file `name` as append-only to FS_IOC_GETFLAGS.

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

std::string lastName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// Whether this rename onto `target` is to fail.
bool failing(const char* target) {
    static std::map<std::string, int> seen;
    const char* list = std::getenv("FAILING_RENAMES");
    if (!list)
        return false;
    const std::string name = lastName(target);
    const int call = seen[name]++;
    std::string rest = list;
    while (!rest.empty()) {
        const std::string item = rest.substr(0, rest.find(','));
        rest = item.size() < rest.size() ? rest.substr(item.size() + 1) : std::string();
        const std::size_t colon = item.rfind(':');
        if (item.substr(0, colon) == name && call >= std::atoi(item.c_str() + colon + 1))
            return true;
    }
    return false;
}

} // namespace

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned int flags) {
    if (failing(to)) {
        errno = EBUSY;
        return -1;
    }
    using Rename = int (*)(int, const char*, int, const char*, unsigned int);
    static const auto next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "renameat2"));
    return next(fromFolder, from, toFolder, to, flags);
}

extern "C" int renameat(int fromFolder, const char* from, int toFolder, const char* to) {
    if (failing(to)) {
        errno = EBUSY;
        return -1;
    }
    using Rename = int (*)(int, const char*, int, const char*);
    static const auto next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "renameat"));
    return next(fromFolder, from, toFolder, to);
}

extern "C" int ioctl(int handle, unsigned long request, ...) {
    va_list rest;
    va_start(rest, request);
    void* argument = va_arg(rest, void*);
    va_end(rest);
    using Control = int (*)(int, unsigned long, ...);
    static const auto next = reinterpret_cast<Control>(dlsym(RTLD_NEXT, "ioctl"));
    const int result = next(handle, request, argument);
    const char* appendOnly = std::getenv("APPEND_ONLY");
    if (request == FS_IOC_GETFLAGS && appendOnly) {
        char link[64], path[4096];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", handle);
        const ssize_t length = ::readlink(link, path, sizeof path - 1);
        if (length > 0) {
            path[length] = '\0';
            if (lastName(path) == appendOnly) {
                *static_cast<long*>(argument) |= FS_APPEND_FL;
                return 0;
            }
        }
    }
    return result;
}
