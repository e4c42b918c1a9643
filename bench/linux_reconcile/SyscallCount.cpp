#include "SyscallCount.h"

#include <atomic>
#include <cstdarg>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/perf_event.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

// The C library's own functions behind the wrappers below.
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
}

namespace {

std::atomic<std::uint64_t> calls{0};

void Count(std::uint64_t n = 1) {
    calls.fetch_add(n, std::memory_order_relaxed);
}

// An open's mode argument, which is there only with flags that take one.
mode_t ModeArgument(int flags, va_list args) {
    const bool takesMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    return takesMode ? static_cast<mode_t>(va_arg(args, unsigned)) : 0;
}

// The kernel's count of this process's system calls, or -1.
int kernelCounter = -1;

int OpenKernelCounter() {
    std::ifstream idFile("/sys/kernel/tracing/events/raw_syscalls/sys_enter/id");
    std::uint64_t id = 0;
    if (!(idFile >> id)) {
        return -1;
    }
    perf_event_attr attributes{};
    attributes.type = PERF_TYPE_TRACEPOINT;
    attributes.size = sizeof attributes;
    attributes.config = id;
    attributes.inherit = 1; // threads started later count too
    return static_cast<int>(
        syscall(SYS_perf_event_open, &attributes, 0, -1, -1, PERF_FLAG_FD_CLOEXEC));
}

} // namespace

namespace bench {

void StartSyscallCount() {
    if (kernelCounter < 0) {
        kernelCounter = OpenKernelCounter();
    }
}

std::uint64_t SyscallCount() {
    std::uint64_t count = 0;
    if (kernelCounter >= 0 && __real_read(kernelCounter, &count, sizeof count) == sizeof count) {
        return count;
    }
    return calls.load(std::memory_order_relaxed);
}

bool SyscallCountIsTheKernels() {
    return kernelCounter >= 0;
}

const char* SyscallCountSource() {
    return kernelCounter >= 0 ? "the kernel's raw_syscalls:sys_enter count"
                              : "the backend's C library calls";
}

} // namespace bench

extern "C" {

int __wrap_open(const char* path, int flags, ...) {
    Count();
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return __real_open(path, flags, mode);
}

int __wrap_openat(int dir, const char* path, int flags, ...) {
    Count();
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
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
