#include "platform/linux/HidrawFile.h"

namespace platform::linux_backend {

THidrawFile::THidrawFile(TUniqueFd descriptor, THidrawNode hidrawNode, DWORD desiredAccess,
                         bool isOverlapped, std::unique_ptr<TOverlappedReader> overlappedReader)
    : fd(std::move(descriptor)), node(std::move(hidrawNode)), access(desiredAccess),
      overlapped(isOverlapped), reader(std::move(overlappedReader)) {}

THidrawFile::~THidrawFile() {
    // Nobody may poll the descriptor when it closes.
    reader.reset();
}

std::optional<TReportLengths>
THidrawFile::Lengths(const std::function<std::optional<TReportLengths>()>& read) {
    std::call_once(lengthsOnce_, [&] { lengths_ = read(); });
    return lengths_;
}

} // namespace platform::linux_backend
