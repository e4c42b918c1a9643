#include "platform/sim/SimCore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace platform::sim::detail {

namespace {

// Paths compare case-insensitively, as the platform's do.
std::string PathKey(std::string_view path) {
    std::string key(path);
    for (char& c : key) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

std::string DefaultPath(const TSimDeviceConfig& config, DWORD devInst) {
    char path[128];
    std::snprintf(path, sizeof path,
                  "\\\\?\\hid#vid_%04x&pid_%04x#sim%u#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  static_cast<unsigned>(config.VendorID), static_cast<unsigned>(config.ProductID),
                  static_cast<unsigned>(devInst));
    return path;
}

constexpr DWORD kDataAccess = GENERIC_READ | GENERIC_WRITE;

// Whether an open with access and share may join an existing open of the device.
bool SharingAllows(const TFile& open, DWORD access, DWORD share) {
    const auto conflicts = [](DWORD wanted, DWORD grantedShare) {
        return ((wanted & GENERIC_READ) != 0 && (grantedShare & FILE_SHARE_READ) == 0) ||
               ((wanted & GENERIC_WRITE) != 0 && (grantedShare & FILE_SHARE_WRITE) == 0);
    };
    return !conflicts(access, open.share) && !conflicts(open.access, share);
}

} // namespace

TDevice* TSimCore::DeviceLocked(TSimDeviceId id) {
    const auto found = devices.find(id);
    return found == devices.end() ? nullptr : found->second.get();
}

const TDevice* TSimCore::DeviceLocked(TSimDeviceId id) const {
    const auto found = devices.find(id);
    return found == devices.end() ? nullptr : found->second.get();
}

std::vector<std::shared_ptr<TDevice>> TSimCore::PresentInOrderLocked() const {
    std::vector<std::shared_ptr<TDevice>> present;
    for (const auto& [id, device] : devices) {
        if (device->present) {
            present.push_back(device);
        }
    }
    std::stable_sort(present.begin(), present.end(), [](const auto& a, const auto& b) {
        return a->config.EnumerationRank < b->config.EnumerationRank;
    });
    return present;
}

DWORD TSimCore::DevInstLocked(const TDevice& device, std::size_t position) const {
    return devInstByPosition ? kFirstDevInst + static_cast<DWORD>(position) : device.devInst;
}

TSimDeviceId TSimCore::Plug(TSimDeviceConfig config) {
    std::lock_guard lock(mutex);
    auto device = std::make_shared<TDevice>();
    device->id = nextDeviceId++;
    device->devInst = config.DevInst != 0 ? config.DevInst : nextDevInst++;
    device->path = config.Path.empty() ? DefaultPath(config, device->devInst) : config.Path;
    device->config = std::move(config);
    devices.emplace(device->id, device);
    presentByPath.emplace(PathKey(device->path), device);
    ChangedLocked();
    return device->id;
}

bool TSimCore::Unplug(TSimDeviceId id) {
    std::lock_guard lock(mutex);
    TDevice* device = DeviceLocked(id);
    if (device == nullptr || !device->present) {
        return false;
    }
    device->present = false;
    auto [first, last] = presentByPath.equal_range(PathKey(device->path));
    for (auto entry = first; entry != last; ++entry) {
        if (entry->second.get() == device) {
            presentByPath.erase(entry);
            break;
        }
    }
    for (auto& [handle, file] : files) {
        if (file.device.get() == device) {
            file.input.clear();
            CompleteAllLocked(file, ERROR_DEVICE_NOT_CONNECTED);
        }
    }
    ChangedLocked();
    return true;
}

HANDLE TSimCore::CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                             DWORD creationDisposition, DWORD flagsAndAttributes) {
    if (const auto error = Enter("CreateFileA")) {
        SetError(*error);
        return INVALID_HANDLE_VALUE;
    }
    std::lock_guard lock(mutex);
    if (fileName == nullptr) {
        SetError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (creationDisposition != OPEN_EXISTING) {
        SetError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The first present device plugged with that path.
    const std::string key = PathKey(fileName);
    const auto found = presentByPath.lower_bound(key);
    if (found == presentByPath.end() || found->first != key) {
        SetError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::shared_ptr<TDevice> device = found->second;
    const DWORD access = desiredAccess & kDataAccess;
    switch (device->config.Access) {
    case TSimAccess::Unopenable:
        SetError(device->config.OpenError);
        return INVALID_HANDLE_VALUE;
    case TSimAccess::QueryOnly:
        if (access != 0) {
            SetError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        break;
    case TSimAccess::ReadWrite:
        break;
    }
    for (const auto& [handle, open] : files) {
        if (open.device == device && !SharingAllows(open, access, shareMode)) {
            SetError(kErrorSharingViolation);
            return INVALID_HANDLE_VALUE;
        }
    }
    TFile file;
    file.device = device;
    file.access = access;
    file.share = shareMode;
    file.overlapped = (flagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0;
    file.numInputBuffers = device->config.NumInputBuffers;
    const HANDLE handle = MakeHandle<HANDLE>(nextFile);
    files.emplace(handle, std::move(file));
    ChangedLocked();
    SetError(ERROR_SUCCESS);
    return handle;
}

BOOL TSimCore::CloseHandle(HANDLE handle) {
    if (const auto error = Enter("CloseHandle")) {
        SetError(*error);
        return FALSE;
    }
    std::lock_guard lock(mutex);
    TFile* file = FileLocked(handle, "CloseHandle");
    if (file == nullptr) {
        return FALSE;
    }
    // The driver cancels what is still pending on the handle; the routines run in their
    // threads' next alertable wait.
    CompleteAllLocked(*file, ERROR_OPERATION_ABORTED);
    files.erase(handle);
    closedFiles.insert(handle);
    ChangedLocked();
    return TRUE;
}

BOOL TSimCore::WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                         LPOVERLAPPED overlapped) {
    if (bytesWritten != nullptr) {
        *bytesWritten = 0;
    }
    if (const auto error = Enter("WriteFile")) {
        SetError(*error);
        return FALSE;
    }
    std::lock_guard lock(mutex);
    if (bytesWritten == nullptr && overlapped == nullptr) {
        ViolationLocked("WriteFile: no byte count and no overlapped record");
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TFile* file = FileLocked(handle, "WriteFile");
    if (file == nullptr) {
        return FALSE;
    }
    if ((file->access & GENERIC_WRITE) == 0) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (file->overlapped && overlapped == nullptr) {
        ViolationLocked("WriteFile: overlapped handle " + HandleText(handle) +
                        " written without an overlapped record");
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    TDevice& device = *file->device;
    if (!device.present) {
        SetError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    if (const auto error = device.writeFailure.Take()) {
        SetError(*error);
        return FALSE;
    }
    // The class driver takes exactly one output report: report ID byte included.
    if (buffer == nullptr || bytesToWrite != device.config.OutputReportByteLength ||
        bytesToWrite == 0) {
        SetError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const auto* bytes = static_cast<const BYTE*>(buffer);
    device.writes.emplace_back(bytes, bytes + bytesToWrite);
    if (bytesWritten != nullptr) {
        *bytesWritten = bytesToWrite;
    }
    if (overlapped != nullptr) {
        overlapped->Internal = 0;
        overlapped->InternalHigh = bytesToWrite;
    }
    ChangedLocked();
    return TRUE;
}

std::size_t TSimCore::PushInputReport(TSimDeviceId id, std::vector<BYTE> report) {
    std::lock_guard lock(mutex);
    TDevice* device = DeviceLocked(id);
    if (device == nullptr || !device->present || device->config.InputReportByteLength == 0) {
        return 0;
    }
    report.resize(device->config.InputReportByteLength);
    std::size_t reached = 0;
    for (auto& [handle, file] : files) {
        if (file.device.get() != device || (file.access & GENERIC_READ) == 0) {
            continue;
        }
        ++reached;
        if (!file.pending.empty()) {
            const TRead read = file.pending.front();
            file.pending.erase(file.pending.begin());
            CompleteLocked(read, &report, ERROR_SUCCESS);
            continue;
        }
        file.input.push_back(report);
        while (file.input.size() > file.numInputBuffers) {
            file.input.pop_front();
        }
    }
    ChangedLocked();
    return reached;
}

} // namespace platform::sim::detail
