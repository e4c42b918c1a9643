// One open handle on a hidraw node: its descriptor, what it was opened for, and the
// overlapped reader of a handle opened for overlapped reading. Destroying it stops the
// reader before the descriptor is closed.
#pragma once

#include "platform/AlertableWaits.h"
#include "platform/linux/OverlappedReader.h"
#include "platform/linux/ReportDescriptor.h"
#include "platform/linux/SysfsHidraw.h"
#include "platform/linux/UniqueFd.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace platform::linux_backend {

struct THidrawFile {
    // reader: the running reader of a handle opened for overlapped reading, else null.
    THidrawFile(TUniqueFd descriptor, THidrawNode hidrawNode, DWORD desiredAccess,
                bool isOverlapped, std::unique_ptr<TOverlappedReader> overlappedReader);
    ~THidrawFile();
    THidrawFile(const THidrawFile&) = delete;
    THidrawFile& operator=(const THidrawFile&) = delete;

    bool CanRead() const { return (access & GENERIC_READ) != 0; }
    bool CanWrite() const { return (access & GENERIC_WRITE) != 0; }

    const TUniqueFd fd;
    const THidrawNode node; // as it was when opened: its sysfs path tells whether it is still it
    const DWORD access;     // GENERIC_READ / GENERIC_WRITE; 0: query only (O_PATH)
    const bool overlapped;
    // The driver's input queue length as the HID calls report it (hidraw keeps 64 reports).
    std::atomic<ULONG> numInputBuffers{64};
    std::unique_ptr<TOverlappedReader> reader; // overlapped read handles only

    // The device's report lengths, found by read once per handle; none when the descriptor
    // cannot be read (then sizes are not checked).
    std::optional<TReportLengths>
    Lengths(const std::function<std::optional<TReportLengths>()>& read);

private:
    std::once_flag lengthsOnce_;
    std::optional<TReportLengths> lengths_;
};

} // namespace platform::linux_backend
