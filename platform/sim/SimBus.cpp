#include "platform/sim/SimBus.h"

#include "platform/SystemMessages.h"
#include "platform/sim/SimCore.h"

#include <algorithm>
#include <cstring>

namespace platform::sim {

using detail::TInjectedFailure;

TSimBus::TSimBus() : core_(std::make_unique<detail::TSimCore>(*this)) {}

TSimBus::~TSimBus() = default;

TSimBus* TSimBus::Installed() {
    return dynamic_cast<TSimBus*>(&Services());
}

// --- Device population ---------------------------------------------------------------------

TSimDeviceId TSimBus::Plug(TSimDeviceConfig config, TBroadcast broadcast) {
    const TSimDeviceId id = core_->Plug(std::move(config));
    if (broadcast == TBroadcast::Yes) {
        core_->BroadcastDeviceChange();
    }
    return id;
}

bool TSimBus::Unplug(TSimDeviceId device, TBroadcast broadcast) {
    const bool unplugged = core_->Unplug(device);
    if (unplugged && broadcast == TBroadcast::Yes) {
        core_->BroadcastDeviceChange();
    }
    return unplugged;
}

void TSimBus::BroadcastDeviceChange() {
    core_->BroadcastDeviceChange();
}

std::string TSimBus::DevicePath(TSimDeviceId device) const {
    std::lock_guard lock(core_->mutex);
    const detail::TDevice* found = core_->DeviceLocked(device);
    return found == nullptr ? std::string() : found->path;
}

DWORD TSimBus::DevInst(TSimDeviceId device) const {
    std::lock_guard lock(core_->mutex);
    const detail::TDevice* found = core_->DeviceLocked(device);
    if (found == nullptr) {
        return 0;
    }
    const auto present = core_->PresentInOrderLocked();
    for (std::size_t position = 0; position < present.size(); ++position) {
        if (present[position].get() == found) {
            return core_->DevInstLocked(*found, position);
        }
    }
    return found->devInst;
}

void TSimBus::SetDevInstByPosition(bool byPosition) {
    std::lock_guard lock(core_->mutex);
    core_->devInstByPosition = byPosition;
}

bool TSimBus::IsPresent(TSimDeviceId device) const {
    std::lock_guard lock(core_->mutex);
    const detail::TDevice* found = core_->DeviceLocked(device);
    return found != nullptr && found->present;
}

// --- Device I/O ----------------------------------------------------------------------------

std::size_t TSimBus::PushInputReport(TSimDeviceId device, std::vector<BYTE> report) {
    return core_->PushInputReport(device, std::move(report));
}

std::vector<std::vector<BYTE>> TSimBus::Writes(TSimDeviceId device) const {
    std::lock_guard lock(core_->mutex);
    const detail::TDevice* found = core_->DeviceLocked(device);
    return found == nullptr ? std::vector<std::vector<BYTE>>() : found->writes;
}

namespace {

template <typename Member>
void SetFailure(detail::TSimCore& core, TSimDeviceId device, Member member,
                TInjectedFailure failure) {
    std::lock_guard lock(core.mutex);
    if (detail::TDevice* found = core.DeviceLocked(device)) {
        found->*member = failure;
    }
}

} // namespace

void TSimBus::FailNextWrite(TSimDeviceId device, DWORD error) {
    SetFailure(*core_, device, &detail::TDevice::writeFailure, {error, false});
}

void TSimBus::FailWritesAlways(TSimDeviceId device, DWORD error) {
    SetFailure(*core_, device, &detail::TDevice::writeFailure, {error, true});
}

void TSimBus::ClearWriteFailure(TSimDeviceId device) {
    SetFailure(*core_, device, &detail::TDevice::writeFailure, {});
}

void TSimBus::FailNextReadStart(TSimDeviceId device, DWORD error) {
    SetFailure(*core_, device, &detail::TDevice::readStartFailure, {error, false});
}

void TSimBus::FailReadStartsAlways(TSimDeviceId device, DWORD error) {
    SetFailure(*core_, device, &detail::TDevice::readStartFailure, {error, true});
}

void TSimBus::ClearReadStartFailure(TSimDeviceId device) {
    SetFailure(*core_, device, &detail::TDevice::readStartFailure, {});
}

void TSimBus::FailNextCall(std::string_view function, DWORD error) {
    std::lock_guard lock(core_->mutex);
    core_->injected.insert_or_assign(std::string(function), TInjectedFailure{error, false});
}

// --- Modules -------------------------------------------------------------------------------

void TSimBus::RemoveModule(std::string_view module) {
    std::lock_guard lock(core_->mutex);
    if (detail::TModule* found = core_->ModuleByNameLocked(module)) {
        found->present = false;
    }
}

void TSimBus::RemoveExport(std::string_view module, std::string_view exportName) {
    std::lock_guard lock(core_->mutex);
    if (detail::TModule* found = core_->ModuleByNameLocked(module)) {
        found->removedExports.emplace(exportName);
    }
}

int TSimBus::ReferenceCount(std::string_view module) const {
    std::lock_guard lock(core_->mutex);
    const detail::TModule* found = core_->ModuleByNameLocked(module);
    return found == nullptr ? 0 : found->references;
}

std::size_t TSimBus::LoadCount(std::string_view module) const {
    std::lock_guard lock(core_->mutex);
    const detail::TModule* found = core_->ModuleByNameLocked(module);
    return found == nullptr ? 0 : found->loads;
}

std::size_t TSimBus::ReleaseCount(std::string_view module) const {
    std::lock_guard lock(core_->mutex);
    const detail::TModule* found = core_->ModuleByNameLocked(module);
    return found == nullptr ? 0 : found->releases;
}

// --- System --------------------------------------------------------------------------------

void TSimBus::SetVersion(DWORD major, DWORD minor, DWORD build) {
    std::lock_guard lock(core_->mutex);
    core_->versionMajor = major;
    core_->versionMinor = minor;
    core_->versionBuild = build;
    core_->versionError.reset();
}

void TSimBus::FailVersionQuery(DWORD error) {
    std::lock_guard lock(core_->mutex);
    core_->versionError = error;
}

// --- Observation ---------------------------------------------------------------------------

std::size_t TSimBus::CallCount(std::string_view function) const {
    std::lock_guard lock(core_->mutex);
    const auto found = core_->calls.find(function);
    return found == core_->calls.end() ? 0 : found->second;
}

std::size_t TSimBus::TotalCallCount() const {
    std::lock_guard lock(core_->mutex);
    return core_->callLog.size();
}

std::vector<std::string> TSimBus::CallLog() const {
    std::lock_guard lock(core_->mutex);
    return core_->callLog;
}

void TSimBus::ResetCallCounts() {
    std::lock_guard lock(core_->mutex);
    core_->calls.clear();
    core_->callLog.clear();
}

std::size_t TSimBus::OpenHandleCount() const {
    std::lock_guard lock(core_->mutex);
    return core_->files.size();
}

std::size_t TSimBus::OpenHandleCount(TSimDeviceId device) const {
    std::lock_guard lock(core_->mutex);
    return static_cast<std::size_t>(std::ranges::count_if(
        core_->files, [device](const auto& entry) { return entry.second.device->id == device; }));
}

std::size_t TSimBus::PendingReadCount(TSimDeviceId device) const {
    std::lock_guard lock(core_->mutex);
    std::size_t count = 0;
    for (const auto& [handle, file] : core_->files) {
        if (file.device->id == device) {
            count += file.pending.size();
        }
    }
    return count;
}

std::size_t TSimBus::QueuedInputReportCount(TSimDeviceId device) const {
    std::lock_guard lock(core_->mutex);
    std::size_t count = 0;
    for (const auto& [handle, file] : core_->files) {
        if (file.device->id == device) {
            count += file.input.size();
        }
    }
    return count;
}

std::size_t TSimBus::OutstandingDeviceInfoSets() const {
    std::lock_guard lock(core_->mutex);
    return core_->sets.size();
}

std::size_t TSimBus::OutstandingPreparsedData() const {
    std::lock_guard lock(core_->mutex);
    return core_->preparsed.size();
}

std::size_t TSimBus::WindowCount() const {
    return core_->windows.Count();
}

bool TSimBus::IsInAlertableWait(std::thread::id thread) const {
    return core_->waits.IsWaiting(thread);
}

std::vector<std::string> TSimBus::Violations() const {
    std::lock_guard lock(core_->mutex);
    return core_->violations;
}

void TSimBus::ClearViolations() {
    std::lock_guard lock(core_->mutex);
    core_->violations.clear();
}

std::vector<std::string> TSimBus::Leaks() const {
    std::vector<std::string> leaks;
    const std::size_t windows = WindowCount();
    std::lock_guard lock(core_->mutex);
    for (const auto& [handle, file] : core_->files) {
        leaks.push_back("handle " + detail::TSimCore::HandleText(handle) + " on " +
                        file.device->path + " is open");
    }
    for (const auto& [set, members] : core_->sets) {
        leaks.push_back("device-info set " + detail::TSimCore::HandleText(set) +
                        " is not destroyed");
    }
    for (const auto& [data, caps] : core_->preparsed) {
        leaks.push_back("preparsed data " + detail::TSimCore::HandleText(data) + " is not freed");
    }
    if (windows != 0) {
        leaks.push_back(std::to_string(windows) + " notification window(s) not destroyed");
    }
    for (const auto& module : core_->modules) {
        if (module.references != 0) {
            leaks.push_back(module.name + " holds " + std::to_string(module.references) +
                            " reference(s)");
        }
    }
    return leaks;
}

bool TSimBus::WaitUntil(const std::function<bool()>& condition,
                        std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) {
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        // The condition may watch more than the bus, so it is tested again at least this often.
        const auto slice = std::min<std::chrono::steady_clock::duration>(
            deadline - now, std::chrono::milliseconds(5));
        std::unique_lock lock(core_->mutex);
        core_->changed.wait_for(lock, slice);
    }
}

// --- Platform services ---------------------------------------------------------------------

HMODULE TSimBus::LoadLibraryA(LPCSTR fileName) {
    return core_->LoadLibraryA(fileName);
}

FARPROC TSimBus::GetProcAddress(HMODULE module, LPCSTR procName) {
    return core_->GetProcAddress(module, procName);
}

BOOL TSimBus::FreeLibrary(HMODULE module) {
    return core_->FreeLibrary(module);
}

HANDLE TSimBus::CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, void*,
                            DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
    return core_->CreateFileA(fileName, desiredAccess, shareMode, creationDisposition,
                              flagsAndAttributes);
}

BOOL TSimBus::CloseHandle(HANDLE handle) {
    return core_->CloseHandle(handle);
}

BOOL TSimBus::WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                        LPOVERLAPPED overlapped) {
    return core_->WriteFile(handle, buffer, bytesToWrite, bytesWritten, overlapped);
}

BOOL TSimBus::ReadFileEx(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPOVERLAPPED overlapped,
                         LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    return core_->ReadFileEx(handle, buffer, bytesToRead, overlapped, routine);
}

DWORD TSimBus::SleepEx(DWORD milliseconds, BOOL alertable) {
    return core_->SleepEx(milliseconds, alertable);
}

BOOL TSimBus::GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD bytesTransferred,
                                  BOOL wait) {
    return core_->GetOverlappedResult(handle, overlapped, bytesTransferred, wait);
}

DWORD TSimBus::GetLastError() {
    core_->Enter("GetLastError");
    return TPlatformServices::GetLastError();
}

void TSimBus::SetLastError(DWORD error) {
    core_->Enter("SetLastError");
    TPlatformServices::SetLastError(error);
}

HWND TSimBus::CreateNotifyWindow(WindowProcedure procedure) {
    return core_->CreateNotifyWindow(std::move(procedure));
}

BOOL TSimBus::DestroyWindow(HWND window) {
    return core_->DestroyWindow(window);
}

BOOL TSimBus::PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return core_->PostMessageA(window, message, wParam, lParam);
}

BOOL TSimBus::GetVersionExA(LPOSVERSIONINFOA info) {
    if (const auto error = core_->Enter("GetVersionExA")) {
        core_->SetError(*error);
        return FALSE;
    }
    constexpr DWORD kExtendedSize = 156; // OSVERSIONINFOEXA
    std::lock_guard lock(core_->mutex);
    if (info == nullptr) {
        core_->ViolationLocked("GetVersionExA: no record");
        core_->SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != kExtendedSize) {
        core_->SetError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (core_->versionError) {
        core_->SetError(*core_->versionError);
        return FALSE;
    }
    std::memset(reinterpret_cast<BYTE*>(info) + sizeof size, 0, size - sizeof size);
    info->dwMajorVersion = core_->versionMajor;
    info->dwMinorVersion = core_->versionMinor;
    info->dwBuildNumber = core_->versionBuild;
    info->dwPlatformId = 2; // VER_PLATFORM_WIN32_NT
    return TRUE;
}

DWORD TSimBus::FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId, LPSTR buffer,
                              DWORD size, void*) {
    if (const auto error = core_->Enter("FormatMessageA")) {
        core_->SetError(*error);
        return 0;
    }
    DWORD error = ERROR_SUCCESS;
    const DWORD length = FormatSystemMessage(flags, messageId, languageId, buffer, size, error);
    if (length == 0) {
        core_->SetError(error);
    }
    return length;
}

} // namespace platform::sim
