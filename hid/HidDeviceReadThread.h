// Reads the input reports of one HID device while its holder wants them: overlapped reads
// that end in a completion routine, awaited in alertable slices of the device's sleep time.
// Every report and every failure to start a read is handed to the main thread
// synchronously, so the device's OnData and OnDataError run there. After a failed start the
// thread waits one slice (or until it is terminated) before it tries again.
#pragma once

#include "platform/PlatformTypes.h"
#include "runtime/Thread.h"

#include <vector>

namespace hid {

class THidDevice;

class THidDeviceReadThread : public runtime::TThread {
public:
    // Created suspended; the device resumes it. The buffer is sized here, on the main thread,
    // to the device's input report length.
    explicit THidDeviceReadThread(THidDevice& device);
    // Stops the thread (serving its hand-overs) before the buffer goes.
    ~THidDeviceReadThread() override;

    DWORD ErrorCode() const { return errorCode; }
    THidDevice& Device() const { return *device; }
    DWORD NumBytesRead() const { return numBytesRead; }
    const std::vector<BYTE>& ReadBuffer() const { return readBuffer; }

protected:
    void Execute() override;

private:
    // Main thread: the report just read to OnData, or the failure to OnDataError.
    void DeliverData();
    void DeliverError();
    // After a cancel: wait until the read has left the buffer (its routine has run).
    void AwaitCancelledRead();

    DWORD errorCode = 0;
    THidDevice* device;
    DWORD numBytesRead = 0;
    std::vector<BYTE> readBuffer;
};

} // namespace hid
