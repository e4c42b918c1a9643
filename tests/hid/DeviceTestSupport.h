// Handler recorders for device and read-thread tests: method-reference events bound to an
// object that records every call.
#pragma once

#include "hid/HidControllerClass.h"
#include "runtime/MainThreadQueue.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace hid::test {

struct TReport {
    THidDevice* device = nullptr;
    BYTE reportId = 0;
    std::vector<BYTE> payload;
};

// Handlers run on the main thread; the recorder is read there too.
class TDeviceEvents {
public:
    void Data(THidDevice* device, BYTE reportId, const BYTE* data, WORD size) {
        reports.push_back({device, reportId, std::vector<BYTE>(data, data + size)});
    }
    void DataError(THidDevice* device, DWORD error) {
        errorDevices.push_back(device);
        errors.push_back(error);
    }
    void Unplug(THidDevice* device) { unplugged.push_back(device); }

    THidDataEvent OnData() { return runtime::MakeEvent<&TDeviceEvents::Data>(this); }
    THidDataErrorEvent OnDataError() { return runtime::MakeEvent<&TDeviceEvents::DataError>(this); }
    THidPlugEvent OnUnplug() { return runtime::MakeEvent<&TDeviceEvents::Unplug>(this); }

    std::vector<TReport> reports;
    std::vector<THidDevice*> errorDevices;
    std::vector<DWORD> errors;
    std::vector<THidDevice*> unplugged;
};

// Counts the calls queued for the main thread (through the wake hook), so that a test can
// wait until a read thread's hand-over is waiting without serving it.
class TQueuedCalls {
public:
    TQueuedCalls() {
        runtime::SetWakeHook([this] {
            const std::lock_guard guard(lock);
            ++count;
            queued.notify_all();
        });
    }
    ~TQueuedCalls() { runtime::SetWakeHook({}); }
    TQueuedCalls(const TQueuedCalls&) = delete;
    TQueuedCalls& operator=(const TQueuedCalls&) = delete;

    bool WaitFor(std::size_t calls, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock guard(lock);
        return queued.wait_for(guard, timeout, [&] { return count >= calls; });
    }

private:
    std::mutex lock;
    std::condition_variable queued;
    std::size_t count = 0;
};

} // namespace hid::test
