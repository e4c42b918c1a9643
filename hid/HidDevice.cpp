#include "hid/HidDevice.h"

#include "hid/HidDeviceController.h"
#include "hid/HidDeviceReadThread.h"
#include "platform/ModuleLoader.h"
#include "platform/PlatformServices.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <system_error>

namespace hid {

namespace {

#ifdef _WIN32
using PFN_CancelIo = BOOL(WINAPI*)(HANDLE);
#else
using PFN_CancelIo = BOOL (*)(HANDLE);
#endif

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr int kMinThreadSleepTime = 10;
constexpr int kMaxThreadSleepTime = 10000;
// HID string descriptors hold at most 126 characters; the buffer leaves room to spare.
constexpr std::size_t kStringChars = 254;
constexpr ULONG kStringBytes = kStringChars * sizeof(WCHAR);
constexpr WCHAR kUnusedChar = 0xFFFF;

bool IsOpen(HANDLE handle) {
    return handle != INVALID_HANDLE_VALUE;
}

HANDLE OpenDevice(const std::string& path, DWORD access, DWORD flags) {
    return platform::Services().CreateFileA(path.c_str(), access, kShareReadWrite, nullptr,
                                            OPEN_EXISTING, flags, nullptr);
}

void CloseDevice(HANDLE& handle) {
    if (IsOpen(handle)) {
        platform::Services().CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
}

// The text of a zero-filled string buffer, up to its first zero character.
WideString TextOf(const WCHAR* buffer) {
    return WideString(buffer, std::find(buffer, buffer + kStringChars, WCHAR{0}));
}

} // namespace

THidDevice::THidDevice(std::unique_ptr<THidPnPInfo> info, THidDeviceController* owner)
    : controller(owner), pnpInfo(std::move(info)) {
    if (controller != nullptr) {
        SetOnData(controller->OnDeviceData()); // not checked out: no thread starts
        onUnplug = controller->OnDeviceUnplug();
        onDataError = controller->OnDeviceDataError();
    }
    fileHandle = OpenDevice(pnpInfo->DevicePath(), GENERIC_READ | GENERIC_WRITE, 0);
    hasReadWriteAccess = IsOpen(fileHandle);
    if (!hasReadWriteAccess) {
        fileHandle = OpenDevice(pnpInfo->DevicePath(), 0, 0);
    }
    if (!IsOpen(fileHandle)) {
        throw EControllerError("device cannot be opened");
    }
    attributes.Size = sizeof(HIDD_ATTRIBUTES);
    if (!platform::HidEntries().HidD_GetAttributes(fileHandle, &attributes)) {
        CloseFile();
        throw EControllerError("device cannot be identified");
    }
    CloseFile();
}

THidDevice::~THidDevice() {
    const THidDataEvent heldOnData = onData;
    const THidPlugEvent heldOnUnplug = onUnplug;
    SetOnData(nullptr); // stops the read thread
    onUnplug = nullptr;
    CloseFile();
    CloseFileEx(DeviceKind::Read);
    CloseFileEx(DeviceKind::Write);
    FreePreparsedData();
    if (controller == nullptr) {
        return;
    }
    auto& list = controller->deviceList;
    const auto slot = std::find(list.begin(), list.end(), this);
    if (slot == list.end()) {
        return;
    }
    if (!isPluggedIn) {
        list.erase(slot);
        --controller->unpluggedCount;
        return;
    }
    // Check-in: a fresh object for the same device takes the slot, with the holder's
    // handlers and sleep time.
    const bool wasCheckedOut = isCheckedOut;
    try {
        auto replacement = std::make_unique<THidDevice>(std::move(pnpInfo), controller);
        replacement->SetOnData(heldOnData);
        replacement->onUnplug = heldOnUnplug;
        replacement->SetThreadSleepTime(threadSleepTime);
        *slot = replacement.release(); // the controller owns listed devices not checked out
        if (wasCheckedOut) {
            --controller->checkedOutCount;
            ++controller->checkedInCount;
        }
    } catch (...) {
        // The device cannot be opened or identified now: it leaves the list.
        controller->deviceList.erase(
            std::find(controller->deviceList.begin(), controller->deviceList.end(), this));
        if (wasCheckedOut) {
            --controller->checkedOutCount;
        } else {
            --controller->checkedInCount;
        }
    }
}

bool THidDevice::IsAccessible() const {
    return isPluggedIn && (isCheckedOut || inControllerEvent);
}

HANDLE THidDevice::OpenGeneralHandle() {
    HANDLE handle = OpenDevice(pnpInfo->DevicePath(), GENERIC_READ | GENERIC_WRITE, 0);
    hasReadWriteAccess = IsOpen(handle);
    if (!hasReadWriteAccess) {
        handle = OpenDevice(pnpInfo->DevicePath(), 0, 0);
    }
    return handle;
}

void THidDevice::ApplyInputBuffers(HANDLE handle, ULONG& count) {
    const auto& hid = platform::HidEntries();
    if (count != 0) {
        hid.HidD_SetNumInputBuffers(handle, count);
    }
    hid.HidD_GetNumInputBuffers(handle, &count);
}

bool THidDevice::OpenFile() {
    if (IsAccessible() && !IsOpen(fileHandle)) {
        fileHandle = OpenGeneralHandle();
        if (IsOpen(fileHandle)) {
            ApplyInputBuffers(fileHandle, numInputBuffers);
        }
    }
    return IsOpen(fileHandle);
}

void THidDevice::CloseFile() {
    CloseDevice(fileHandle);
    numInputBuffers = 0;
}

bool THidDevice::OpenReadHandleLocked() {
    if (!IsAccessible()) {
        return false;
    }
    if (!IsOpen(readHandle)) {
        const HANDLE handle = OpenDevice(pnpInfo->DevicePath(), GENERIC_READ, FILE_FLAG_OVERLAPPED);
        if (IsOpen(handle)) {
            ApplyInputBuffers(handle, numReadInputBuffers);
        }
        readHandle = handle;
    }
    return IsOpen(readHandle);
}

void THidDevice::CloseReadHandleLocked() {
    HANDLE handle = readHandle.exchange(INVALID_HANDLE_VALUE);
    CloseDevice(handle);
    numReadInputBuffers = 0;
}

bool THidDevice::OpenFileEx(DeviceKind kind) {
    if (kind == DeviceKind::Read) {
        const std::lock_guard guard(readHandleLock);
        return OpenReadHandleLocked();
    }
    if (!IsAccessible()) {
        return false;
    }
    if (!IsOpen(writeHandle)) {
        writeHandle = OpenDevice(pnpInfo->DevicePath(), GENERIC_WRITE, FILE_FLAG_OVERLAPPED);
    }
    return IsOpen(writeHandle);
}

void THidDevice::CloseFileEx(DeviceKind kind) {
    if (kind == DeviceKind::Read) {
        const std::lock_guard guard(readHandleLock);
        CloseReadHandleLocked();
    } else {
        CloseDevice(writeHandle);
    }
}

PHIDP_PREPARSED_DATA THidDevice::PreparsedData() {
    if (preparsedData == nullptr && OpenFile()) {
        PHIDP_PREPARSED_DATA data = nullptr;
        if (platform::HidEntries().HidD_GetPreparsedData(fileHandle, &data)) {
            preparsedData = data;
        }
        CloseFile();
    }
    return preparsedData;
}

void THidDevice::FreePreparsedData() {
    if (PHIDP_PREPARSED_DATA data = preparsedData.exchange(nullptr)) {
        platform::HidEntries().HidD_FreePreparsedData(data);
    }
}

HIDP_CAPS THidDevice::CapsOf(PHIDP_PREPARSED_DATA data) {
    HIDP_CAPS caps{};
    // Without preparsed data there is nothing to ask: the platform would read through null.
    if (data != nullptr) {
        platform::HidEntries().HidP_GetCaps(data, &caps);
    }
    return caps;
}

HIDP_CAPS THidDevice::Caps() {
    return CapsOf(PreparsedData());
}

HIDP_CAPS THidDevice::CachedCaps() const {
    return CapsOf(preparsedData);
}

WideString THidDevice::FetchString(WideString& cache,
                                   BOOLEAN (platform::THidEntries::*fetch)(HANDLE, PVOID, ULONG)
                                       const) {
    if (!cache.empty() || !OpenFile()) {
        return cache;
    }
    WCHAR buffer[kStringChars] = {};
    if ((platform::HidEntries().*fetch)(fileHandle, buffer, kStringBytes)) {
        cache = TextOf(buffer);
    }
    CloseFile();
    return cache;
}

WideString THidDevice::VendorName() {
    return FetchString(vendorName, &platform::THidEntries::HidD_GetManufacturerString);
}

WideString THidDevice::ProductName() {
    return FetchString(productName, &platform::THidEntries::HidD_GetProductString);
}

WideString THidDevice::SerialNumber() {
    if (!serialNumber.empty() || !OpenFile()) {
        return serialNumber;
    }
    const auto& hid = platform::HidEntries();
    WCHAR serial[kStringChars] = {};
    if (hid.HidD_GetSerialNumberString(fileHandle, serial, kStringBytes)) {
        WCHAR languages[kStringChars];
        std::fill(std::begin(languages), std::end(languages), kUnusedChar);
        // Compare as far as the language list was written (its terminator excluded). Some
        // devices answer the serial request with their language list: that is no serial.
        // Without a list (it cannot be read, or is empty) there is nothing it could copy.
        std::size_t compareLength = 0;
        if (hid.HidD_GetIndexedString(fileHandle, 0, languages, kStringBytes)) {
            for (std::size_t k = kStringChars; k-- > 0;) {
                if (languages[k] != kUnusedChar) {
                    compareLength = languages[k] == 0 ? k : k + 1;
                    break;
                }
            }
        }
        if (compareLength == 0 || !std::equal(serial, serial + compareLength, languages)) {
            serialNumber = TextOf(serial);
        }
    }
    CloseFile();
    return serialNumber;
}

bool THidDevice::WriteReport(const void* buffer, DWORD count, DWORD& bytesWritten) {
    bytesWritten = 0;
    if (!OpenFile()) {
        return false;
    }
    return platform::Services().WriteFile(fileHandle, buffer, count, &bytesWritten, nullptr) !=
           FALSE;
}

bool THidDevice::BeginRead(void* buffer, DWORD count, LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    const std::lock_guard guard(readHandleLock);
    if (!OpenReadHandleLocked()) {
        return false;
    }
    readOverlapped = OVERLAPPED{};
    readOverlapped.hEvent = this; // the completion-routine form leaves the event member free
    return platform::Services().ReadFileEx(readHandle, buffer, count, &readOverlapped, routine) !=
           FALSE;
}

DWORD THidDevice::ReadResult() {
    const std::lock_guard guard(readHandleLock);
    if (!IsOpen(readHandle)) {
        return 0;
    }
    DWORD bytes = 0;
    if (!platform::Services().GetOverlappedResult(readHandle, &readOverlapped, &bytes, FALSE)) {
        return 0;
    }
    return bytes;
}

bool THidDevice::CancelPendingIO(DeviceKind kind) {
    std::unique_lock guard(readHandleLock, std::defer_lock);
    HANDLE handle = writeHandle;
    if (kind == DeviceKind::Read) {
        guard.lock();
        handle = readHandle;
    }
    if (!IsOpen(handle)) {
        return false;
    }
    // Looked up at each use: the program does not bind kernel32 for the whole run.
    const platform::TScopedLibrary kernel32("kernel32.dll");
    if (!kernel32) {
        return false;
    }
    const FARPROC address = kernel32.Find("CancelIo");
    if (address == nullptr) {
        return false;
    }
    return platform::FromFarProc<PFN_CancelIo>(address)(handle) != FALSE;
}

int THidDevice::ThreadSleepTime() const {
    return threadSleepTime;
}

void THidDevice::SetThreadSleepTime(int milliseconds) {
    if (milliseconds >= kMinThreadSleepTime && milliseconds <= kMaxThreadSleepTime) {
        threadSleepTime = milliseconds;
    }
}

void THidDevice::SetOnData(THidDataEvent handler) {
    if (!handler.Assigned()) {
        StopThread();
    }
    onData = handler;
    StartThread();
}

void THidDevice::StartThread() {
    if (onData.Assigned() && isPluggedIn && isCheckedOut && hasReadWriteAccess && !readThread) {
        // Created suspended; its buffer is sized here, on the main thread.
        auto thread = std::make_unique<THidDeviceReadThread>(*this);
        try {
            thread->Resume();
        } catch (const std::system_error&) {
            // No thread to be had now: the device stays without one, and a later start
            // (a new data handler, the next check-out) tries again.
            return;
        }
        readThread = std::move(thread);
    }
}

void THidDevice::StopThread() {
    if (readThread) {
        readThread->Terminate();
        readThread.reset(); // waits for the thread, serving its hand-overs meanwhile
    }
}

void THidDevice::HandleUnplug() {
    // Marked first: a read thread that opens its handle after the close below would
    // otherwise keep the device open.
    isPluggedIn = false;
    CloseFile();
    CloseFileEx(DeviceKind::Read);
    CloseFileEx(DeviceKind::Write);
    // Cleared before the call, so that it fires once even if the handler unplugs again.
    const THidPlugEvent handler = onUnplug;
    onUnplug = nullptr;
    if (handler.Assigned()) {
        handler(this);
    }
}

} // namespace hid
