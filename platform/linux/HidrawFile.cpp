#include "platform/linux/HidrawFile.h"

namespace platform::linux_backend {

THidrawFile::THidrawFile(TUniqueFd descriptor, THidrawNode hidrawNode, DWORD desiredAccess,
                         bool isOverlapped, std::unique_ptr<TOverlappedReader> overlappedReader)
    : node(std::move(hidrawNode)), access(desiredAccess), overlapped(isOverlapped), opened_(true),
      fd_(std::move(descriptor)), reader_(std::move(overlappedReader)) {}

THidrawFile::THidrawFile(THidrawNode hidrawNode, DWORD desiredAccess, bool isOverlapped)
    : node(std::move(hidrawNode)), access(desiredAccess), overlapped(isOverlapped) {}

THidrawFile::~THidrawFile() {
    // Nobody may poll the descriptor when it closes.
    reader_.reset();
}

int THidrawFile::Descriptor(const TOpener& open, DWORD& error) {
    std::lock_guard lock(descriptorMutex_);
    if (!opened_) {
        opened_ = true;
        fd_ = open(openError_);
    }
    error = fd_ ? ERROR_SUCCESS : openError_;
    return fd_.Get();
}

std::optional<TReportLengths>
THidrawFile::Lengths(const std::function<std::optional<TReportLengths>()>& read) {
    std::call_once(lengthsOnce_, [&] { lengths_ = read(); });
    return lengths_;
}

} // namespace platform::linux_backend
