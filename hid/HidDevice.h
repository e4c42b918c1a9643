// One HID device interface present in the system: up to three file handles on it, its
// cached identity (attributes, strings, preparsed data), synchronous output-report writes
// and the overlapped reads its read thread performs. The controller lends it by check-out;
// the holder returns it by destroying it (check-in), which puts a fresh object for the same
// device into the same list slot.
#pragma once

#include "hid/HidEvents.h"
#include "hid/HidPnPInfo.h"
#include "platform/Hid.h"
#include "platform/SetupHidTypes.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace hid {

class THidDeviceReadThread;

class THidDevice {
public:
    // Opens and identifies the device; throws EControllerError ("device cannot be opened",
    // "device cannot be identified"). Takes ownership of pnpInfo.
    THidDevice(std::unique_ptr<THidPnPInfo> pnpInfo, THidDeviceController* controller);
    // For a checked-out device this is the check-in.
    virtual ~THidDevice();

    THidDevice(const THidDevice&) = delete;
    THidDevice& operator=(const THidDevice&) = delete;

    THidDeviceController* Controller() const { return controller; }
    bool IsPluggedIn() const { return isPluggedIn; }
    bool IsCheckedOut() const { return isCheckedOut; }
    bool InControllerEvent() const { return inControllerEvent; }
    bool HasReadWriteAccess() const { return hasReadWriteAccess; }
    const HIDD_ATTRIBUTES& Attributes() const { return attributes; }
    const THidPnPInfo& PnPInfo() const { return *pnpInfo; }

    bool IsAccessible() const;
    bool OpenFile();
    void CloseFile();
    bool OpenFileEx(DeviceKind kind);
    void CloseFileEx(DeviceKind kind);

    PHIDP_PREPARSED_DATA PreparsedData();
    HIDP_CAPS Caps();
    WideString VendorName();
    WideString ProductName();
    WideString SerialNumber();

    bool WriteReport(const void* buffer, DWORD count, DWORD& bytesWritten);
    bool BeginRead(void* buffer, DWORD count, LPOVERLAPPED_COMPLETION_ROUTINE routine);
    DWORD ReadResult();
    bool CancelPendingIO(DeviceKind kind);

    int ThreadSleepTime() const;
    // Accepts 10..10000 ms; other values are ignored.
    void SetThreadSleepTime(int milliseconds);

    const THidDataEvent& OnData() const { return onData; }
    // Starts or stops the read thread.
    void SetOnData(THidDataEvent handler);
    const THidDataErrorEvent& OnDataError() const { return onDataError; }
    void SetOnDataError(THidDataErrorEvent handler) { onDataError = handler; }
    const THidPlugEvent& OnUnplug() const { return onUnplug; }
    void SetOnUnplug(THidPlugEvent handler) { onUnplug = handler; }

    void StartThread();
    void StopThread();
    bool HasReadThread() const { return readThread != nullptr; }

    // Frees the preparsed data now, while the HID binding is still there; a later Caps
    // finds none and the destructor makes no HID call for it.
    void FreePreparsedData();

    // Closes every handle, marks the device unplugged and raises OnUnplug once.
    void HandleUnplug();

private:
    friend class THidDeviceController;
    friend class THidDeviceReadThread;
    // Lets tests put a device into the states the controller gives it.
    friend struct THidDeviceTestAccess;

    // Read thread: Caps from the preparsed data fetched already, without opening anything.
    HIDP_CAPS CachedCaps() const;
    static HIDP_CAPS CapsOf(PHIDP_PREPARSED_DATA data);
    WideString FetchString(WideString& cache,
                           BOOLEAN (platform::THidEntries::*fetch)(HANDLE, PVOID, ULONG) const);
    HANDLE OpenGeneralHandle();
    void ApplyInputBuffers(HANDLE handle, ULONG& count);
    bool OpenReadHandleLocked();
    void CloseReadHandleLocked();

    // Fields, in the order the component declares them. The controller sets and clears
    // controller, isCheckedOut and inControllerEvent. What the read thread reads while the
    // main thread may change it is atomic.
    THidDeviceController* controller = nullptr;
    std::atomic<bool> isPluggedIn{true};
    std::atomic<bool> isCheckedOut{false};
    std::atomic<bool> inControllerEvent{false};
    HANDLE fileHandle = INVALID_HANDLE_VALUE;
    std::atomic<HANDLE> readHandle{INVALID_HANDLE_VALUE};
    HANDLE writeHandle = INVALID_HANDLE_VALUE;
    OVERLAPPED readOverlapped{};
    HIDD_ATTRIBUTES attributes{};
    std::unique_ptr<THidPnPInfo> pnpInfo;
    WideString vendorName;
    WideString productName;
    // Fetched on the main thread; the read thread only reads it.
    std::atomic<PHIDP_PREPARSED_DATA> preparsedData{nullptr};
    WideString serialNumber;
    ULONG numInputBuffers = 0;
    ULONG numReadInputBuffers = 0;
    std::atomic<int> threadSleepTime{100};
    THidDataEvent onData;
    THidDataErrorEvent onDataError;
    THidPlugEvent onUnplug;
    bool hasReadWriteAccess = false;
    std::unique_ptr<THidDeviceReadThread> readThread;
    // The read handle is opened and used by the read thread and closed by the main thread
    // at unplug; this keeps a close from landing between the thread's open and its use.
    std::mutex readHandleLock;
};

} // namespace hid
