#include "platform/linux/HidrawFile.h"

#include <unistd.h>

namespace platform::linux_backend {

THidrawFile::THidrawFile(int descriptor, THidrawNode hidrawNode, DWORD desiredAccess,
                         bool isOverlapped, TAlertableWaits& waits)
    : fd(descriptor), node(std::move(hidrawNode)), access(desiredAccess), overlapped(isOverlapped) {
    if (overlapped && CanRead()) {
        reader = std::make_unique<TOverlappedReader>(fd, waits);
    }
}

THidrawFile::~THidrawFile() {
    reader.reset();
    close(fd);
}

std::optional<TReportLengths> THidrawFile::Lengths(const TLinuxRoots& roots) {
    std::call_once(lengthsOnce_, [&] {
        const std::optional<THidrawIdentity> identity =
            ReadHidrawIdentity(roots, node, TIdentityDetail::Ids);
        if (!identity) {
            return;
        }
        const std::vector<std::uint8_t> descriptor = ReadReportDescriptor(*identity);
        if (!descriptor.empty()) {
            lengths_ = ParseReportDescriptor(descriptor);
        }
    });
    return lengths_;
}

} // namespace platform::linux_backend
