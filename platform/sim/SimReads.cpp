#include "platform/OverlappedStatus.h"
#include "platform/sim/SimCore.h"

#include <algorithm>
#include <cstring>

namespace platform::sim::detail {

void TSimCore::CompleteLocked(const TRead& read, const std::vector<BYTE>* data, DWORD error) {
    DWORD bytes = 0;
    if (data != nullptr) {
        bytes = static_cast<DWORD>(std::min<std::size_t>(data->size(), read.size));
        std::memcpy(read.buffer, data->data(), bytes);
    }
    read.overlapped->Internal = StatusFromError(error);
    read.overlapped->InternalHigh = bytes;
    waits.Queue(read.thread, [routine = read.routine, error, bytes, ov = read.overlapped] {
        routine(error, bytes, ov);
    });
    ChangedLocked();
}

void TSimCore::CompleteAllLocked(TFile& file, DWORD error) {
    for (const TRead& read : file.pending) {
        CompleteLocked(read, nullptr, error);
    }
    file.pending.clear();
}

BOOL TSimCore::ReadFileEx(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPOVERLAPPED overlapped,
                          LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    if (const auto error = Enter("ReadFileEx")) {
        SetError(*error);
        return FALSE;
    }
    std::lock_guard lock(mutex);
    TFile* file = FileLocked(handle, "ReadFileEx");
    if (file == nullptr) {
        return FALSE;
    }
    if (overlapped == nullptr || routine == nullptr) {
        ViolationLocked("ReadFileEx: an overlapped record and a completion routine are required");
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!file->overlapped) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((file->access & GENERIC_READ) == 0) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    TDevice& device = *file->device;
    if (!device.present) {
        SetError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    if (const auto error = device.readStartFailure.Take()) {
        SetError(*error);
        return FALSE;
    }
    // The class driver hands out whole input reports only.
    if (buffer == nullptr || bytesToRead < device.config.InputReportByteLength ||
        device.config.InputReportByteLength == 0) {
        SetError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    for (const auto& [other, open] : files) {
        const bool inUse = std::ranges::any_of(open.pending, [overlapped](const TRead& read) {
            return read.overlapped == overlapped;
        });
        if (inUse) {
            ViolationLocked("ReadFileEx: overlapped record reused while its read is pending");
            SetError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    const TRead read{std::this_thread::get_id(), buffer, bytesToRead, overlapped, routine};
    overlapped->Internal = kStatusPending;
    overlapped->InternalHigh = 0;
    if (!file->input.empty()) {
        // Even a read that finds its report waiting completes through the routine.
        const std::vector<BYTE> report = std::move(file->input.front());
        file->input.pop_front();
        CompleteLocked(read, &report, ERROR_SUCCESS);
    } else {
        file->pending.push_back(read);
    }
    ChangedLocked();
    SetError(ERROR_SUCCESS);
    return TRUE;
}

DWORD TSimCore::SleepEx(DWORD milliseconds, BOOL alertable) {
    if (const auto error = Enter("SleepEx")) {
        SetError(*error);
        return 0;
    }
    if (alertable == FALSE && milliseconds == INFINITE) {
        std::lock_guard lock(mutex);
        ViolationLocked("SleepEx: an endless sleep that nothing can end");
        return 0;
    }
    return waits.SleepEx(milliseconds, alertable != FALSE);
}

BOOL TSimCore::GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD bytesTransferred,
                                   BOOL wait) {
    if (const auto error = Enter("GetOverlappedResult")) {
        SetError(*error);
        return FALSE;
    }
    std::unique_lock lock(mutex);
    if (overlapped == nullptr || bytesTransferred == nullptr) {
        ViolationLocked("GetOverlappedResult: an overlapped record and a byte count are required");
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Without waiting the platform reads the record only; waiting uses the handle.
    if (wait != FALSE) {
        if (FileLocked(handle, "GetOverlappedResult") == nullptr) {
            return FALSE;
        }
        changed.wait(lock, [overlapped] { return overlapped->Internal != kStatusPending; });
    }
    const ULONG_PTR status = overlapped->Internal;
    if (status == kStatusPending) {
        SetError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    *bytesTransferred = static_cast<DWORD>(overlapped->InternalHigh);
    if (status != 0) {
        SetError(ErrorFromStatus(status));
        return FALSE;
    }
    return TRUE;
}

BOOL TSimCore::CancelIo(HANDLE handle) {
    std::lock_guard lock(mutex);
    TFile* file = FileLocked(handle, "CancelIo");
    if (file == nullptr) {
        return FALSE;
    }
    const auto self = std::this_thread::get_id();
    std::vector<TRead> kept;
    for (const TRead& read : file->pending) {
        if (read.thread == self) {
            CompleteLocked(read, nullptr, ERROR_OPERATION_ABORTED);
        } else {
            kept.push_back(read);
        }
    }
    file->pending = std::move(kept);
    ChangedLocked();
    return TRUE;
}

} // namespace platform::sim::detail
