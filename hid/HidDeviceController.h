// The HID device controller: a non-visual component that enumerates the HID device
// interfaces present, keeps one THidDevice per interface, reconciles its list on every
// device-change notification (removals, then arrivals, then one change event), lends
// devices by check-out and hands new devices its default handlers.
#pragma once

#include "hid/HidEvents.h"
#include "runtime/Component.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hid {

class THidDeviceController : public runtime::TComponent {
public:
    explicit THidDeviceController(runtime::TComponent* owner = nullptr);
    ~THidDeviceController() override;

    // Reconciles the device list with the interfaces present now. Does nothing when called
    // while a reconciliation runs (from one of its handlers).
    void DeviceChange();
    // Raises OnEnumerate for the plugged-in devices; returns how many were visited.
    int Enumerate();
    // Lends the device in slot Idx; HidDev is null when refused.
    bool CheckOutByIndex(THidDevice*& HidDev, int Idx);

    int DevThreadSleepTime() const { return devThreadSleepTime; }
    void SetDevThreadSleepTime(int milliseconds);
    std::string Version() const { return version; }
    void SetVersion(const std::string& value) { versionSink = value; }

    const THidPlugEvent& OnArrival() const { return onArrival; }
    void SetOnArrival(THidPlugEvent handler) { onArrival = handler; }
    const TNotifyEvent& OnDeviceChange() const { return onDeviceChange; }
    // Reconciles at once unless loading or reconciling; the handler already held is ignored.
    void SetOnDeviceChange(TNotifyEvent handler);
    const THidEnumerateEvent& OnEnumerate() const { return onEnumerate; }
    void SetOnEnumerate(THidEnumerateEvent handler) { onEnumerate = handler; }
    // The defaults below reach every listed device whose own handler still equals the
    // previous default.
    const THidDataEvent& OnDeviceData() const { return onDeviceData; }
    void SetOnDeviceData(THidDataEvent handler);
    const THidDataErrorEvent& OnDeviceDataError() const { return onDeviceDataError; }
    void SetOnDeviceDataError(THidDataErrorEvent handler);
    const THidPlugEvent& OnDeviceUnplug() const { return onDeviceUnplug; }
    void SetOnDeviceUnplug(THidPlugEvent handler);
    const THidPlugEvent& OnRemoval() const { return onRemoval; }
    void SetOnRemoval(THidPlugEvent handler) { onRemoval = handler; }

    int CheckedInCount() const { return checkedInCount; }
    int CheckedOutCount() const { return checkedOutCount; }
    int UnpluggedCount() const { return unpluggedCount; }

    // Read access for callers and tests.
    const GUID& HidClassGuid() const { return hidClassGuid; }
    int DeviceCount() const { return static_cast<int>(deviceList.size()); }
    THidDevice* Device(int slot) const { return deviceList.at(static_cast<std::size_t>(slot)); }
    HWND NotifyWindow() const { return notifyWindow; }
    std::intptr_t ChangeParam() const { return changeParam; }

private:
    friend class THidDevice;

    class TFreshDevices;

    LRESULT WindowProcedure(UINT message, WPARAM wParam, LPARAM lParam);
    // One reconciliation pass; DeviceChange guards it against re-entry.
    void Reconcile();

    static void Detach(THidDevice& device);
    bool HidLoaded() const;
    // A fresh, identified device for every interface present now, in enumeration order.
    std::vector<std::unique_ptr<THidDevice>> EnumeratePresent();
    void RaisePlug(const THidPlugEvent& event, THidDevice* device);
    bool RaiseEnumerate(THidDevice* device, int idx);
    void Recount();
    // Leaves a held device to its holder at shutdown with nothing that could still reach
    // the HID library once it is released.
    void ReleaseHeldDevice(THidDevice* device);

    GUID hidClassGuid{};
    THidPlugEvent onArrival;
    TNotifyEvent onDeviceChange;
    THidEnumerateEvent onEnumerate;
    THidDataEvent onDeviceData;
    THidDataErrorEvent onDeviceDataError;
    THidPlugEvent onDeviceUnplug;
    THidPlugEvent onRemoval;
    int devThreadSleepTime = 100;
    std::string version = "1.0.32";
    std::string versionSink;
    // Slot order is arrival order. The controller owns every listed device that is not
    // checked out; a checked-out one belongs to its holder.
    std::vector<THidDevice*> deviceList;
    int checkedInCount = 0;
    int checkedOutCount = 0;
    int unpluggedCount = 0;
    // True while any reconciliation runs.
    bool inDeviceChange = false;
    std::intptr_t changeParam = 0;
    HWND notifyWindow = nullptr;
    // Whether this controller holds a user of the setup binding, to give it back.
    bool setupApiBound = false;
};

} // namespace hid
