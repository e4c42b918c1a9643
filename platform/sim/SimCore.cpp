#include "platform/sim/SimCore.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace platform::sim::detail {

bool SameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

TSimCore::TSimCore(TSimBus& owner) : bus(owner) {
    AddModules();
}

std::optional<DWORD> TSimCore::Enter(std::string_view function, TModuleId module) {
    std::lock_guard lock(mutex);
    auto counted = calls.find(function);
    if (counted == calls.end()) {
        counted = calls.emplace(std::string(function), 0).first;
    }
    ++counted->second;
    callLog.emplace_back(function);
    if (module != TModuleId::None) {
        const TModule& owner = ModuleLocked(module);
        if (!owner.pinned && owner.references == 0) {
            ViolationLocked(std::string(function) + ": called while " + owner.name +
                            " is not loaded");
        }
    }
    ChangedLocked();
    const auto failure = injected.find(function);
    if (failure == injected.end()) {
        return std::nullopt;
    }
    std::optional<DWORD> error = failure->second.Take();
    if (!failure->second.error) {
        injected.erase(failure);
    }
    return error;
}

// The base class keeps the thread's last error; calling it directly does not count a call.
void TSimCore::SetError(DWORD error) const {
    bus.TPlatformServices::SetLastError(error);
}

DWORD TSimCore::LastError() const {
    return bus.TPlatformServices::GetLastError();
}

void TSimCore::ViolationLocked(std::string text) {
    violations.push_back(std::move(text));
    ChangedLocked();
}

std::string TSimCore::HandleText(const void* handle) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", handle);
    return text;
}

TFile* TSimCore::FileLocked(HANDLE handle, std::string_view function) {
    const auto open = files.find(handle);
    if (open != files.end()) {
        return &open->second;
    }
    SetError(ERROR_INVALID_HANDLE);
    const std::string prefix = std::string(function) + ": handle " + HandleText(handle);
    if (closedFiles.contains(handle)) {
        ViolationLocked(prefix + " used after it was closed");
    } else if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        ViolationLocked(prefix + " is not an open handle");
    } else {
        ViolationLocked(prefix + " was never opened");
    }
    return nullptr;
}

} // namespace platform::sim::detail
