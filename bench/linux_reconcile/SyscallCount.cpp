#include "SyscallCount.h"

#include <atomic>
#include <cstdarg>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

std::atomic<std::uint64_t> calls{0};

void Count(std::uint64_t n = 1) {
    calls.fetch_add(n, std::memory_order_relaxed);
}

// Open flags that take a mode argument.
bool TakesMode(int flags) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

} // namespace

namespace bench {

std::uint64_t SyscallCount() {
    return calls.load(std::memory_order_relaxed);
}

} // namespace bench

extern "C" {

int __real_open(const char* path, int flags, ...);
int __real_openat(int dir, const char* path, int flags, ...);
int __real_close(int fd);
ssize_t __real_read(int fd, void* buffer, size_t size);
ssize_t __real_write(int fd, const void* buffer, size_t size);
ssize_t __real_readlink(const char* path, char* buffer, size_t size);
ssize_t __real_readlinkat(int dir, const char* path, char* buffer, size_t size);
int __real_access(const char* path, int mode);
int __real_faccessat(int dir, const char* path, int mode, int flags);
DIR* __real_opendir(const char* path);
dirent* __real_readdir(DIR* dir);
int __real_closedir(DIR* dir);
int __real_poll(pollfd* fds, nfds_t count, int timeout);
int __real_eventfd(unsigned value, int flags);

int __wrap_open(const char* path, int flags, ...) {
    Count();
    mode_t mode = 0;
    if (TakesMode(flags)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, unsigned));
        va_end(args);
    }
    return __real_open(path, flags, mode);
}

int __wrap_openat(int dir, const char* path, int flags, ...) {
    Count();
    mode_t mode = 0;
    if (TakesMode(flags)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, unsigned));
        va_end(args);
    }
    return __real_openat(dir, path, flags, mode);
}

int __wrap_close(int fd) {
    Count();
    return __real_close(fd);
}

ssize_t __wrap_read(int fd, void* buffer, size_t size) {
    Count();
    return __real_read(fd, buffer, size);
}

ssize_t __wrap_write(int fd, const void* buffer, size_t size) {
    Count();
    return __real_write(fd, buffer, size);
}

ssize_t __wrap_readlink(const char* path, char* buffer, size_t size) {
    Count();
    return __real_readlink(path, buffer, size);
}

ssize_t __wrap_readlinkat(int dir, const char* path, char* buffer, size_t size) {
    Count();
    return __real_readlinkat(dir, path, buffer, size);
}

int __wrap_access(const char* path, int mode) {
    Count();
    return __real_access(path, mode);
}

int __wrap_faccessat(int dir, const char* path, int mode, int flags) {
    Count();
    return __real_faccessat(dir, path, mode, flags);
}

DIR* __wrap_opendir(const char* path) {
    Count(3); // openat, fstat and the listing's first getdents64
    return __real_opendir(path);
}

dirent* __wrap_readdir(DIR* dir) {
    dirent* entry = __real_readdir(dir);
    if (entry == nullptr) {
        Count(); // the getdents64 that finds the end
    }
    return entry;
}

int __wrap_closedir(DIR* dir) {
    Count();
    return __real_closedir(dir);
}

int __wrap_poll(pollfd* fds, nfds_t count, int timeout) {
    Count();
    return __real_poll(fds, count, timeout);
}

int __wrap_eventfd(unsigned value, int flags) {
    Count();
    return __real_eventfd(value, flags);
}

} // extern "C"
