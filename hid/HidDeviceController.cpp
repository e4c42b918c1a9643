#include "hid/HidDeviceController.h"

#include "hid/HidDevice.h"
#include "hid/HidPnPInfo.h"
#include "platform/Hid.h"
#include "platform/PlatformServices.h"
#include "platform/SetupApi.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <set>
#include <string>
#include <utility>

namespace hid {

namespace {

// The HID interface class, for when the HID library cannot tell us.
constexpr GUID kDefaultHidClassGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

constexpr DWORD kPresentInterfaces = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
constexpr LPARAM kForcedChange = -1;
constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

// A device-info set, destroyed when the pass is over.
class TDeviceInfoSet {
public:
    explicit TDeviceInfoSet(const GUID& classGuid)
        : handle_(platform::SetupApiEntries().SetupDiGetClassDevs(&classGuid, nullptr, nullptr,
                                                                  kPresentInterfaces)) {}
    ~TDeviceInfoSet() {
        if (Valid()) {
            platform::SetupApiEntries().SetupDiDestroyDeviceInfoList(handle_);
        }
    }
    TDeviceInfoSet(const TDeviceInfoSet&) = delete;
    TDeviceInfoSet& operator=(const TDeviceInfoSet&) = delete;

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HDEVINFO Handle() const { return handle_; }

private:
    HDEVINFO handle_;
};

// The device path of one interface, or empty when its details cannot be read.
std::string InterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData,
                          SP_DEVINFO_DATA& deviceInfo) {
    const auto& setup = platform::SetupApiEntries();
    DWORD needed = 0;
    setup.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &needed, &deviceInfo);
    if (needed == 0 || platform::Services().GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
        needed <= kPathOffset) {
        return {};
    }
    // Whole DWORDs keep the record aligned; one spare zero word bounds the path even if the
    // platform fills the block to its last byte.
    std::vector<DWORD> block(needed / sizeof(DWORD) + 2, 0);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!setup.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, needed, &needed,
                                                &deviceInfo)) {
        return {};
    }
    const char* path = reinterpret_cast<const char*>(block.data()) + kPathOffset;
    const std::size_t room = block.size() * sizeof(DWORD) - kPathOffset;
    return std::string(path, strnlen(path, room));
}

// What tells two device objects of one interface apart from those of another: the device
// instance and the interface's path together. Where the platform hands instance values out
// by position in each enumeration, an interface that sorts in between others takes a value
// a listed device had; its path still differs.
using TDeviceKey = std::pair<DWORD, std::string>;

TDeviceKey KeyOf(const THidDevice& device) {
    return {device.PnPInfo().DevInst(), device.PnPInfo().DevicePath()};
}

// Clears a device's controller flag on every way out of a handler.
class TInControllerEvent {
public:
    explicit TInControllerEvent(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    ~TInControllerEvent() { flag_ = false; }
    TInControllerEvent(const TInControllerEvent&) = delete;
    TInControllerEvent& operator=(const TInControllerEvent&) = delete;

private:
    std::atomic<bool>& flag_;
};

} // namespace

// The fresh devices of one reconciliation. Whatever is left when the pass ends (also when a
// handler throws) is detached and destroyed.
class THidDeviceController::TFreshDevices {
public:
    explicit TFreshDevices(std::vector<std::unique_ptr<THidDevice>> devices)
        : devices_(std::move(devices)) {}
    ~TFreshDevices() {
        for (auto& device : devices_) {
            Discard(device);
        }
    }
    TFreshDevices(const TFreshDevices&) = delete;
    TFreshDevices& operator=(const TFreshDevices&) = delete;

    std::vector<std::unique_ptr<THidDevice>>& Devices() { return devices_; }

    static void Discard(std::unique_ptr<THidDevice>& device) {
        if (device) {
            Detach(*device);
            device.reset();
        }
    }

private:
    std::vector<std::unique_ptr<THidDevice>> devices_;
};

void THidDeviceController::Detach(THidDevice& device) {
    device.controller = nullptr;
}

THidDeviceController::THidDeviceController(runtime::TComponent* owner) : TComponent(owner) {
    setupApiBound = platform::BindSetupApi();
    if (setupApiBound) {
        platform::BindHid();
    }
    if (!HidLoaded()) {
        hidClassGuid = kDefaultHidClassGuid;
        return;
    }
    platform::HidEntries().HidD_GetHidGuid(&hidClassGuid);
    auto& services = platform::Services();
    notifyWindow = services.CreateNotifyWindow([this](UINT message, WPARAM wParam, LPARAM lParam) {
        return WindowProcedure(message, wParam, lParam);
    });
    if (notifyWindow != nullptr) {
        // Posted, not run: the first reconciliation waits for the message loop, and is forced.
        services.PostMessageA(notifyWindow, WM_DEVICECHANGE, kDbtDevnodesChanged, kForcedChange);
    }
}

THidDeviceController::~THidDeviceController() {
    // Directly, not through the setters: no reconciliation, and devices keep their handlers.
    onDeviceChange = nullptr;
    onDeviceUnplug = nullptr;
    onEnumerate = nullptr;

    if (notifyWindow != nullptr) {
        platform::Services().DestroyWindow(notifyWindow);
        notifyWindow = nullptr;
    }

    // Handlers run below (OnUnplug, hand-overs served while a read thread stops) may check
    // devices in; re-read the list at every step.
    for (std::size_t slot = 0; slot < deviceList.size(); ++slot) {
        THidDevice* device = deviceList[slot];
        Detach(*device);
        if (device->IsCheckedOut()) {
            ReleaseHeldDevice(device);
        } else {
            delete device; // listed and not lent: ours
        }
    }
    deviceList.clear();

    if (setupApiBound) {
        platform::ReleaseSetupApi();
    }
    platform::ReleaseHid();
}

void THidDeviceController::ReleaseHeldDevice(THidDevice* device) {
    // The read thread calls into the HID library in every pass: it must end while the
    // library is still bound. Stopping it first also spares the holder the stream of read
    // errors an unplugged device would produce.
    device->StopThread();
    device->HandleUnplug();
    // The holder destroys the object later, maybe long after the library is gone.
    if (device->preparsedData != nullptr) {
        platform::HidEntries().HidD_FreePreparsedData(device->preparsedData);
        device->preparsedData = nullptr;
    }
}

bool THidDeviceController::HidLoaded() const {
    return platform::HidBound();
}

LRESULT THidDeviceController::WindowProcedure(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE && wParam == kDbtDevnodesChanged) {
        // A handler that pumps messages must not start a reconciliation inside this one; the
        // message is dropped, the next notification catches up.
        if (!inDeviceChange) {
            changeParam = lParam;
            DeviceChange();
        }
        return 0;
    }
    if (message == WM_QUERYENDSESSION) {
        return 1;
    }
    return 0;
}

std::vector<std::unique_ptr<THidDevice>> THidDeviceController::EnumeratePresent() {
    std::vector<std::unique_ptr<THidDevice>> found;
    if (!HidLoaded()) {
        return found;
    }
    const TDeviceInfoSet set(hidClassGuid);
    if (!set.Valid()) {
        return found;
    }
    const auto& setup = platform::SetupApiEntries();
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
        if (!setup.SetupDiEnumDeviceInterfaces(set.Handle(), nullptr, &hidClassGuid, index,
                                               &interfaceData)) {
            break;
        }
        SP_DEVINFO_DATA deviceInfo{};
        deviceInfo.cbSize = sizeof(SP_DEVINFO_DATA);
        const std::string path = InterfacePath(set.Handle(), interfaceData, deviceInfo);
        if (path.empty()) {
            continue;
        }
        try {
            auto pnpInfo = std::make_unique<THidPnPInfo>(set.Handle(), deviceInfo, path.c_str());
            found.push_back(std::make_unique<THidDevice>(std::move(pnpInfo), this));
        } catch (...) {
            // A device that cannot be opened or identified now is simply not listed.
        }
    }
    return found;
}

void THidDeviceController::RaisePlug(const THidPlugEvent& event, THidDevice* device) {
    if (event.Assigned()) {
        const TInControllerEvent inEvent(device->inControllerEvent);
        event(device);
    }
}

void THidDeviceController::DeviceChange() {
    // One reconciliation at a time, however it was started (a message, assigning
    // OnDeviceChange, a direct call): a pass started from one of its own handlers would list
    // the devices that the running pass has still to add, and delete the ones it still uses.
    if (inDeviceChange) {
        return;
    }
    inDeviceChange = true;
    struct TReset {
        bool& flag;
        ~TReset() { flag = false; }
    } reset{inDeviceChange};
    Reconcile();
}

void THidDeviceController::Reconcile() {
    bool changed = changeParam == kForcedChange;
    TFreshDevices fresh(EnumeratePresent());

    std::set<TDeviceKey> present;
    for (const auto& device : fresh.Devices()) {
        present.insert(KeyOf(*device));
    }

    // Removals, from the last slot to the first.
    for (std::size_t slot = deviceList.size(); slot-- > 0;) {
        if (slot >= deviceList.size()) {
            continue; // a handler checked devices in
        }
        THidDevice* device = deviceList[slot];
        if (device->IsPluggedIn() && present.contains(KeyOf(*device))) {
            continue;
        }
        device->HandleUnplug();
        RaisePlug(onRemoval, device);
        if (!device->IsCheckedOut()) {
            // The slot goes first, so that the destructor finds nothing to hand back.
            const auto at = std::find(deviceList.begin(), deviceList.end(), device);
            if (at != deviceList.end()) {
                deviceList.erase(at);
            }
            delete device; // listed and not lent: ours
        }
        changed = true;
    }

    // Copies of devices already listed are thrown away.
    std::set<TDeviceKey> listed;
    for (THidDevice* device : deviceList) {
        if (device->IsPluggedIn()) {
            listed.insert(KeyOf(*device));
        }
    }
    for (auto& device : fresh.Devices()) {
        if (listed.contains(KeyOf(*device))) {
            TFreshDevices::Discard(device);
        }
    }

    // Arrivals, in enumeration order.
    for (auto& device : fresh.Devices()) {
        if (!device) {
            continue;
        }
        THidDevice* arrived = device.release();
        deviceList.push_back(arrived);
        changed = true;
        RaisePlug(onArrival, arrived);
    }

    Recount();
    if (changed && onDeviceChange.Assigned()) {
        onDeviceChange(this);
    }
}

void THidDeviceController::Recount() {
    int checkedIn = 0;
    int checkedOut = 0;
    int unplugged = 0;
    for (const THidDevice* device : deviceList) {
        if (device->IsCheckedOut()) {
            ++checkedOut;
        } else {
            ++checkedIn;
        }
        if (!device->IsPluggedIn()) {
            ++unplugged;
        }
    }
    checkedInCount = checkedIn;
    unpluggedCount = unplugged;
    checkedOutCount = checkedOut - unplugged;
}

bool THidDeviceController::RaiseEnumerate(THidDevice* device, int idx) {
    if (!onEnumerate.Assigned()) {
        return false;
    }
    bool result = false;
    {
        const TInControllerEvent inEvent(device->inControllerEvent);
        result = onEnumerate(device, idx);
    }
    if (!device->IsCheckedOut()) {
        // A device nobody took keeps nothing open.
        device->CloseFile();
        device->CloseFileEx(DeviceKind::Read);
        device->CloseFileEx(DeviceKind::Write);
    }
    return result;
}

int THidDeviceController::Enumerate() {
    int visited = 0;
    const std::size_t count = deviceList.size();
    for (std::size_t slot = 0; slot < count && slot < deviceList.size(); ++slot) {
        THidDevice* device = deviceList[slot];
        if (!device->IsPluggedIn()) {
            continue;
        }
        ++visited;
        if (!RaiseEnumerate(device, static_cast<int>(slot))) {
            break;
        }
    }
    return visited;
}

bool THidDeviceController::CheckOutByIndex(THidDevice*& HidDev, int Idx) {
    HidDev = nullptr;
    if (Idx < 0 || Idx >= DeviceCount()) {
        return false;
    }
    THidDevice* device = deviceList[static_cast<std::size_t>(Idx)];
    if (device->IsCheckedOut()) {
        return false;
    }
    HidDev = device;
    device->isCheckedOut = true;
    ++checkedOutCount;
    --checkedInCount;
    device->StartThread();
    return true;
}

void THidDeviceController::SetOnDeviceChange(TNotifyEvent handler) {
    if (handler == onDeviceChange) {
        return;
    }
    onDeviceChange = handler;
    if (!IsLoading()) {
        DeviceChange();
    }
}

void THidDeviceController::SetDevThreadSleepTime(int milliseconds) {
    if (milliseconds == devThreadSleepTime) {
        return;
    }
    for (THidDevice* device : deviceList) {
        if (device->ThreadSleepTime() == devThreadSleepTime) {
            device->SetThreadSleepTime(milliseconds);
        }
    }
    devThreadSleepTime = milliseconds;
}

void THidDeviceController::SetOnDeviceData(THidDataEvent handler) {
    if (handler == onDeviceData) {
        return;
    }
    // Starting or stopping a read thread serves the main-thread queue, whose calls may check
    // devices in: index and re-test the size at every step.
    for (std::size_t slot = 0; slot < deviceList.size(); ++slot) {
        THidDevice* device = deviceList[slot];
        if (device->OnData() == onDeviceData) {
            device->SetOnData(handler);
        }
    }
    onDeviceData = handler;
}

void THidDeviceController::SetOnDeviceDataError(THidDataErrorEvent handler) {
    if (handler == onDeviceDataError) {
        return;
    }
    for (THidDevice* device : deviceList) {
        if (device->OnDataError() == onDeviceDataError) {
            device->SetOnDataError(handler);
        }
    }
    onDeviceDataError = handler;
}

void THidDeviceController::SetOnDeviceUnplug(THidPlugEvent handler) {
    if (handler == onDeviceUnplug) {
        return;
    }
    for (THidDevice* device : deviceList) {
        if (device->OnUnplug() == onDeviceUnplug) {
            device->SetOnUnplug(handler);
        }
    }
    onDeviceUnplug = handler;
}

} // namespace hid
