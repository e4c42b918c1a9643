#include "platform/linux/DeviceInstances.h"

namespace platform::linux_backend {

std::map<std::string, DWORD> TDeviceInstances::Update(std::span<const std::string> present) {
    std::lock_guard lock(mutex_);
    std::map<std::string, TInstance> kept;
    std::map<std::string, DWORD> numbers;
    for (const std::string& path : present) {
        const auto found = instances_.find(path);
        TInstance instance;
        if (found != instances_.end()) {
            instance = std::move(found->second);
        } else {
            instance.number = next_++;
        }
        numbers[path] = instance.number;
        kept[path] = std::move(instance);
    }
    instances_ = std::move(kept);
    return numbers;
}

void TDeviceInstances::Forget(const std::string& devPath) {
    std::lock_guard lock(mutex_);
    instances_.erase(devPath);
}

std::optional<THidrawIdentity> TDeviceInstances::Identity(const std::string& devPath, bool& known) {
    std::lock_guard lock(mutex_);
    const auto found = instances_.find(devPath);
    known = found != instances_.end();
    return known ? found->second.identity : std::nullopt;
}

std::optional<TDescription> TDeviceInstances::Description(const std::string& devPath, bool& known) {
    std::lock_guard lock(mutex_);
    const auto found = instances_.find(devPath);
    known = found != instances_.end();
    return known ? found->second.description : std::nullopt;
}

void TDeviceInstances::Keep(const std::string& devPath, const THidrawIdentity& identity) {
    std::lock_guard lock(mutex_);
    if (const auto found = instances_.find(devPath); found != instances_.end()) {
        found->second.identity = identity;
    }
}

void TDeviceInstances::Keep(const std::string& devPath, const TDescription& description) {
    std::lock_guard lock(mutex_);
    if (const auto found = instances_.find(devPath); found != instances_.end()) {
        found->second.description = description;
    }
}

} // namespace platform::linux_backend
