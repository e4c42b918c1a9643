#include "hid/HidDeviceReadThread.h"

#include "hid/HidDevice.h"
#include "platform/PlatformServices.h"

#include <algorithm>
#include <chrono>
#include <cstddef>

namespace hid {

namespace {

#ifdef _WIN32
#define VUZ_COMPLETION_ROUTINE WINAPI
#else
#define VUZ_COMPLETION_ROUTINE
#endif

// Its only effect is that the thread's alertable wait returns WAIT_IO_COMPLETION.
void VUZ_COMPLETION_ROUTINE ReadCompleted(DWORD /*error*/, DWORD /*bytes*/,
                                          LPOVERLAPPED /*overlapped*/) {}

// Slices to wait for a cancelled read to leave the buffer before the thread ends.
constexpr int kCancelWaitSlices = 10;

} // namespace

THidDeviceReadThread::THidDeviceReadThread(THidDevice& owner)
    : device(&owner), readBuffer(owner.Caps().InputReportByteLength) {}

THidDeviceReadThread::~THidDeviceReadThread() {
    Terminate();
    WaitFor(); // serves only hand-overs, whose exceptions go back to this thread
}

void THidDeviceReadThread::Execute() {
    auto& services = platform::Services();
    DWORD last = WAIT_IO_COMPLETION;
    while (!Terminated()) {
        last = WAIT_IO_COMPLETION;
        // The buffer was sized once; a longer report length must not take a read past it.
        const std::size_t clear =
            std::min<std::size_t>(device->CachedCaps().InputReportByteLength, readBuffer.size());
        std::fill_n(readBuffer.begin(), clear, BYTE{0});
        const auto count = static_cast<DWORD>(
            std::min<std::size_t>(device->CachedCaps().InputReportByteLength, readBuffer.size()));
        if (device->BeginRead(readBuffer.data(), count, &ReadCompleted)) {
            do {
                last = services.SleepEx(static_cast<DWORD>(device->ThreadSleepTime()), TRUE);
            } while (!Terminated() && last != WAIT_IO_COMPLETION);
            if (Terminated()) {
                break;
            }
            numBytesRead = device->ReadResult();
            if (numBytesRead > 0) {
                Synchronize([this] { DeliverData(); });
            }
        } else {
            // A device that has gone refuses the start before any platform call: what the
            // thread's last error holds then is not about this read.
            errorCode =
                device->IsPluggedIn() ? services.GetLastError() : ERROR_DEVICE_NOT_CONNECTED;
            Synchronize([this] { DeliverError(); });
            // A start that failed fails again at once until the device's removal has been
            // handled: one try per slice, not a flood of errors and a busy core.
            PauseUnlessTerminated(std::chrono::milliseconds(device->ThreadSleepTime()));
        }
    }
    if (last != WAIT_IO_COMPLETION) {
        // Stopped while a read was pending: its completion is still owed to this thread.
        device->CancelPendingIO(DeviceKind::Read);
        AwaitCancelledRead();
    }
}

void THidDeviceReadThread::AwaitCancelledRead() {
    auto& services = platform::Services();
    for (int slice = 0; slice < kCancelWaitSlices; ++slice) {
        if (services.SleepEx(static_cast<DWORD>(device->ThreadSleepTime()), TRUE) ==
            WAIT_IO_COMPLETION) {
            return;
        }
    }
}

void THidDeviceReadThread::DeliverData() {
    // Never past the buffer, whatever byte count the read reported.
    const std::size_t bytes = std::min<std::size_t>(numBytesRead, readBuffer.size());
    const THidDataEvent& handler = device->OnData();
    if (bytes == 0 || !handler.Assigned()) {
        return;
    }
    // Byte 0 is the report ID; the handler gets the payload after it.
    handler(device, readBuffer[0], readBuffer.data() + 1, static_cast<WORD>(bytes - 1));
}

void THidDeviceReadThread::DeliverError() {
    const THidDataErrorEvent& handler = device->OnDataError();
    if (handler.Assigned()) {
        handler(device, errorCode);
    }
}

} // namespace hid
