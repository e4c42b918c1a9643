#include "platform/ModuleExports.h"
#include "platform/sim/SimCore.h"
#include "platform/sim/SimExports.h"

#include <algorithm>

namespace platform::sim::detail {

namespace {

constexpr std::uintptr_t kModuleSpacing = 0x00010000;

} // namespace

void TSimCore::AddModules() {
    const std::pair<std::string_view, TModuleId> names[] = {
        {kSetupApiModule, TModuleId::SetupApi},
        {kHidModule, TModuleId::Hid},
        {kKernel32Module, TModuleId::Kernel32},
    };
    for (const auto& [name, id] : names) {
        TModule module;
        module.name = name;
        module.id = id;
        module.exports = ExportTable(id);
        module.pinned = id == TModuleId::Kernel32;
        if (module.pinned) {
            module.handle = MakeHandle<HMODULE>(nextModuleBase, kModuleSpacing);
        }
        modules.push_back(std::move(module));
    }
}

TModule& TSimCore::ModuleLocked(TModuleId id) {
    return *std::ranges::find(modules, id, &TModule::id);
}

TModule* TSimCore::ModuleByNameLocked(std::string_view name) {
    const auto found = std::ranges::find_if(
        modules, [name](const TModule& module) { return SameModuleName(module.name, name); });
    return found == modules.end() ? nullptr : &*found;
}

TModule* TSimCore::ModuleByHandleLocked(HMODULE handle) {
    if (handle == nullptr) {
        return nullptr;
    }
    const auto found = std::ranges::find(modules, handle, &TModule::handle);
    return found == modules.end() ? nullptr : &*found;
}

HMODULE TSimCore::LoadLibraryA(LPCSTR fileName) {
    if (const auto error = Enter("LoadLibraryA")) {
        SetError(*error);
        return nullptr;
    }
    std::lock_guard lock(mutex);
    if (fileName == nullptr) {
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    TModule* module = ModuleByNameLocked(ModuleFileName(fileName));
    if (module == nullptr || !module->present) {
        SetError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (module->handle == nullptr) {
        // A module loaded afresh gets a new base, so that a handle kept from before is stale.
        module->handle = MakeHandle<HMODULE>(nextModuleBase, kModuleSpacing);
    }
    ++module->references;
    ++module->loads;
    ChangedLocked();
    return module->handle;
}

FARPROC TSimCore::GetProcAddress(HMODULE handle, LPCSTR procName) {
    if (const auto error = Enter("GetProcAddress")) {
        SetError(*error);
        return nullptr;
    }
    std::lock_guard lock(mutex);
    TModule* module = ModuleByHandleLocked(handle);
    if (module == nullptr) {
        SetError(ERROR_MOD_NOT_FOUND);
        ViolationLocked("GetProcAddress: module handle " + HandleText(handle) +
                        (retiredModuleHandles.contains(handle) ? " used after its release"
                                                               : " is not a loaded module"));
        return nullptr;
    }
    // Values below 64 Ki are ordinals, which no simulated module exports.
    if (reinterpret_cast<std::uintptr_t>(procName) < 0x10000) {
        SetError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    const auto found = module->exports.find(std::string_view(procName));
    if (found == module->exports.end() || module->removedExports.contains(found->first)) {
        SetError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return found->second;
}

BOOL TSimCore::FreeLibrary(HMODULE handle) {
    if (const auto error = Enter("FreeLibrary")) {
        SetError(*error);
        return FALSE;
    }
    std::lock_guard lock(mutex);
    TModule* module = ModuleByHandleLocked(handle);
    if (module == nullptr) {
        SetError(ERROR_MOD_NOT_FOUND);
        ViolationLocked("FreeLibrary: module handle " + HandleText(handle) +
                        (retiredModuleHandles.contains(handle) ? " released again after its "
                                                                 "last release"
                                                               : " is not a loaded module"));
        return FALSE;
    }
    if (module->references == 0) {
        // Only a pinned module is still mapped here.
        ViolationLocked("FreeLibrary: " + module->name + " released more often than loaded");
        return TRUE;
    }
    --module->references;
    ++module->releases;
    if (module->references == 0 && !module->pinned) {
        retiredModuleHandles.insert(module->handle);
        module->handle = nullptr;
    }
    ChangedLocked();
    return TRUE;
}

} // namespace platform::sim::detail
