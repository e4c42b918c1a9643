// Counts system calls. Where the process may read the kernel's own count (the
// raw_syscalls:sys_enter tracepoint, for root), that count, which includes the calls of
// shared libraries such as libudev. Otherwise the calls the code linked into the benchmark
// makes through the C library: the libc functions the Linux backend uses are wrapped at link
// time (--wrap) and each call is counted as the system calls it makes. opendir counts as three
// (openat, fstat, the listing's first getdents64) and the end of a listing as one, which
// holds for directories of up to about a thousand entries.
#pragma once

#include <cstdint>

namespace bench {

// Call first in main, while /sys is still the machine's own.
void StartSyscallCount();
std::uint64_t SyscallCount();
const char* SyscallCountSource();
// Whether the count includes the calls of shared libraries (it is the kernel's).
bool SyscallCountIsTheKernels();

} // namespace bench
