// Counts the system calls the code linked into the benchmark makes through the C library:
// the libc functions the Linux backend uses are wrapped at link time (--wrap) and each call
// is counted as the system calls it makes. opendir counts as two (openat, fstat) and a
// directory listing as two getdents64 (its first batch and its end), which holds for
// directories of up to about a thousand entries.
#pragma once

#include <cstdint>

namespace bench {

std::uint64_t SyscallCount();

} // namespace bench
