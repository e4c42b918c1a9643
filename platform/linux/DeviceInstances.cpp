#include "platform/linux/DeviceInstances.h"

namespace platform::linux_backend {

std::map<std::string, DWORD> TDeviceInstances::Update(std::span<const std::string> present) {
    std::lock_guard lock(mutex_);
    std::map<std::string, DWORD> kept;
    for (const std::string& path : present) {
        const auto found = numbers_.find(path);
        kept[path] = found != numbers_.end() ? found->second : next_++;
    }
    numbers_ = kept;
    return kept;
}

void TDeviceInstances::Forget(const std::string& devPath) {
    std::lock_guard lock(mutex_);
    numbers_.erase(devPath);
}

} // namespace platform::linux_backend
