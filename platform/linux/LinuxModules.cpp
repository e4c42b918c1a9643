#include "platform/linux/LinuxExports.h"
#include "platform/linux/LinuxServices.h"

#include <cstdint>
#include <string_view>

namespace platform::linux_backend {

namespace {

struct TModuleName {
    std::string_view name;
    TLinuxModule id;
};

constexpr TModuleName kModules[] = {
    {"SetupApi.dll", TLinuxModule::SetupApi},
    {"HID.dll", TLinuxModule::Hid},
    {"kernel32.dll", TLinuxModule::Kernel32},
};

constexpr std::uintptr_t kModuleBase = 0x6E000000;
constexpr std::uintptr_t kModuleSpacing = 0x00010000;

HMODULE HandleOf(TLinuxModule id) {
    return reinterpret_cast<HMODULE>(kModuleBase +
                                     static_cast<std::uintptr_t>(id) * kModuleSpacing);
}

std::optional<TLinuxModule> ModuleOf(HMODULE handle) {
    for (const TModuleName& module : kModules) {
        if (HandleOf(module.id) == handle) {
            return module.id;
        }
    }
    return std::nullopt;
}

} // namespace

HMODULE TLinuxServices::LoadLibraryA(LPCSTR fileName) {
    if (fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string name = ModuleFileName(fileName);
    for (const TModuleName& module : kModules) {
        if (SameModuleName(module.name, name)) {
            std::lock_guard lock(mutex_);
            ++modules_[static_cast<int>(module.id)].references;
            return HandleOf(module.id);
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC TLinuxServices::GetProcAddress(HMODULE module, LPCSTR procName) {
    const std::optional<TLinuxModule> id = ModuleOf(module);
    {
        std::lock_guard lock(mutex_);
        // kernel32 is in every process; the others only while loaded.
        if (!id ||
            (*id != TLinuxModule::Kernel32 && modules_[static_cast<int>(*id)].references == 0)) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
    }
    // Values below 64 Ki are ordinals, which these modules do not export.
    if (reinterpret_cast<std::uintptr_t>(procName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    const TExportMap& table = LinuxExportTable(*id);
    const auto found = table.find(std::string_view(procName));
    if (found == table.end()) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return found->second;
}

BOOL TLinuxServices::FreeLibrary(HMODULE module) {
    const std::optional<TLinuxModule> id = ModuleOf(module);
    std::lock_guard lock(mutex_);
    if (!id) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    int& references = modules_[static_cast<int>(*id)].references;
    if (references == 0) {
        // kernel32 stays mapped; releasing it once more than loaded is harmless.
        if (*id == TLinuxModule::Kernel32) {
            return TRUE;
        }
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    --references;
    return TRUE;
}

} // namespace platform::linux_backend
