// Preloaded into a program under test (LD_PRELOAD) to hold it at one of the calls that name
// a hidraw node (the node's link in sysfs read, the node checked or opened for writing)
// until the test lets it go, so that the test can change the device behind the node at
// that point. With VUZ_OPEN_GATE=DIR, every such call is appended to DIR/calls, numbered
// from 1; the one numbered VUZ_OPEN_GATE_AT (0 or unset: none) first writes the node's path
// to DIR/paused and waits (at most a minute) until DIR/go exists. Every call is then passed
// on unchanged.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

std::atomic<int> calls{0};

bool ForWriting(int flags) {
    return (flags & O_ACCMODE) == O_WRONLY || (flags & O_ACCMODE) == O_RDWR;
}

// The full path of a name opened relative to a directory handle.
std::string FullPath(int dir, const char* path) {
    if (path[0] == '/' || dir == AT_FDCWD) {
        return path;
    }
    char link[64];
    char target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", dir);
    static const auto realReadlink =
        reinterpret_cast<ssize_t (*)(const char*, char*, size_t)>(dlsym(RTLD_NEXT, "readlink"));
    const ssize_t length = realReadlink(link, target, sizeof target - 1);
    if (length <= 0) {
        return path;
    }
    return std::string(target, static_cast<std::size_t>(length)) + "/" + path;
}

void Append(const std::string& file, const std::string& line) {
    if (std::FILE* stream = std::fopen(file.c_str(), "a")) {
        std::fprintf(stream, "%s\n", line.c_str());
        std::fclose(stream);
    }
}

void HoldIfGated(int at, const char* name, bool named, const char* call) {
    const char* dir = std::getenv("VUZ_OPEN_GATE");
    if (dir == nullptr || name == nullptr || !named) {
        return;
    }
    const std::string path = FullPath(at, name);
    const std::size_t slash = path.rfind('/');
    const std::string_view last = std::string_view(path).substr(slash + 1);
    if (slash == std::string::npos || !last.starts_with("hidraw") || last.size() == 6 ||
        last.find_first_not_of("0123456789", 6) != std::string_view::npos) {
        return;
    }
    const int number = ++calls;
    Append(std::string(dir) + "/calls", std::to_string(number) + " " + call + " " + path);
    const char* gateAt = std::getenv("VUZ_OPEN_GATE_AT");
    if (gateAt == nullptr || std::atoi(gateAt) != number) {
        return;
    }
    Append(std::string(dir) + "/paused", path);
    const std::string go = std::string(dir) + "/go";
    struct stat info {};
    const timespec pause{0, 50'000'000};
    for (int i = 0; i < 1200 && stat(go.c_str(), &info) != 0; ++i) {
        nanosleep(&pause, nullptr);
    }
}

template <typename Function> Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

mode_t ModeArgument(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    HoldIfGated(AT_FDCWD, path, ForWriting(flags), "open");
    static const auto next = Next<int (*)(const char*, int, ...)>("open");
    return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    HoldIfGated(AT_FDCWD, path, ForWriting(flags), "open");
    static const auto next = Next<int (*)(const char*, int, ...)>("open64");
    return next(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    HoldIfGated(dir, path, ForWriting(flags), "open");
    static const auto next = Next<int (*)(int, const char*, int, ...)>("openat");
    return next(dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    HoldIfGated(dir, path, ForWriting(flags), "open");
    static const auto next = Next<int (*)(int, const char*, int, ...)>("openat64");
    return next(dir, path, flags, mode);
}

int access(const char* path, int mode) {
    HoldIfGated(AT_FDCWD, path, (mode & W_OK) != 0, "access");
    static const auto next = Next<int (*)(const char*, int)>("access");
    return next(path, mode);
}

int faccessat(int dir, const char* path, int mode, int flags) {
    HoldIfGated(dir, path, (mode & W_OK) != 0, "access");
    static const auto next = Next<int (*)(int, const char*, int, int)>("faccessat");
    return next(dir, path, mode, flags);
}

ssize_t readlink(const char* path, char* buffer, size_t size) {
    HoldIfGated(AT_FDCWD, path, true, "readlink");
    static const auto next = Next<ssize_t (*)(const char*, char*, size_t)>("readlink");
    return next(path, buffer, size);
}

ssize_t readlinkat(int dir, const char* path, char* buffer, size_t size) {
    HoldIfGated(dir, path, true, "readlink");
    static const auto next = Next<ssize_t (*)(int, const char*, char*, size_t)>("readlinkat");
    return next(dir, path, buffer, size);
}

} // extern "C"
