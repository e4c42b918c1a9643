// One open handle on a hidraw node: what it was opened for, its descriptor, and the
// overlapped reader of a handle opened for overlapped reading. Only a reading handle opens
// the node at once; any other opens it at its first write, so that identifying a device
// (which reads sysfs alone) never opens, and so never wakes, the device. Destroying it stops
// the reader before the descriptor is closed.
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
    // Opened: descriptor is open; reader is the running reader of a handle opened for
    // overlapped reading, else null.
    THidrawFile(TUniqueFd descriptor, THidrawNode hidrawNode, DWORD desiredAccess,
                bool isOverlapped, std::unique_ptr<TOverlappedReader> overlappedReader);
    // Not opened yet: the descriptor is made by Descriptor's first call.
    THidrawFile(THidrawNode hidrawNode, DWORD desiredAccess, bool isOverlapped);
    ~THidrawFile();
    THidrawFile(const THidrawFile&) = delete;
    THidrawFile& operator=(const THidrawFile&) = delete;

    bool CanRead() const { return (access & GENERIC_READ) != 0; }
    bool CanWrite() const { return (access & GENERIC_WRITE) != 0; }

    // The descriptor; open makes it on the first call (setting error when it cannot). A
    // failed open stays failed, as a handle on a device that has gone stays unusable.
    using TOpener = std::function<TUniqueFd(DWORD& error)>;
    int Descriptor(const TOpener& open, DWORD& error);
    // The running reader of a handle opened for overlapped reading, else null.
    TOverlappedReader* Reader() const { return reader_.get(); }

    const THidrawNode node; // as it was when opened: its sysfs path tells whether it is still it
    const DWORD access;     // GENERIC_READ / GENERIC_WRITE; 0: query only
    const bool overlapped;
    // The driver's input queue length as the HID calls report it (hidraw keeps 64 reports).
    std::atomic<ULONG> numInputBuffers{64};

    // The device's report lengths, found by read once per handle; none when the descriptor
    // cannot be read (then sizes are not checked).
    std::optional<TReportLengths>
    Lengths(const std::function<std::optional<TReportLengths>()>& read);

private:
    std::mutex descriptorMutex_;
    bool opened_ = false;
    DWORD openError_ = ERROR_SUCCESS;
    TUniqueFd fd_;
    std::unique_ptr<TOverlappedReader> reader_; // overlapped read handles only

    std::once_flag lengthsOnce_;
    std::optional<TReportLengths> lengths_;
};

} // namespace platform::linux_backend
