// Target detection: the window keeps its own list of lent HID devices in step with HidCtl,
// lets the device population settle for a three-tick countdown, then looks for the adapter.
#include "app/core/AdapterIdentity.h"
#include "app/core/DeviceText.h"
#include "app/core/MainForm.h"
#include "runtime/Event.h"

#include <array>
#include <cstdio>

namespace app {

namespace {

const std::string ScanningText = "Scanning...";
const std::string NotFoundStatusText = "Please connect VUZ Device.";
const std::string NotFoundPanelText = "VUZ Device is not found.";

} // namespace

void TMainForm::FormActivate(TSender /*Sender*/) {
    // The controller ignores the handler it already holds: only the first activation
    // reconciles.
    hidCtl->SetOnDeviceChange(runtime::MakeEvent<&TMainForm::HidCtlDeviceChange>(this));
    // That reconciliation reports nothing when the devices were already reported before
    // (a device-change message served earlier took the place of the forced one), or it
    // comes after the countdown has run out: the window makes sure of its rebuild itself.
    if (rebuildOwed) {
        ArmCountdown();
        HidCtlDeviceChange(hidCtl.get());
    }
}

void TMainForm::FormShow(TSender Sender) {
    FormActivate(Sender);
}

void TMainForm::ArmCountdown() {
    // Enabling a running timer keeps its period; only the count starts again.
    checkTargetTimer->Tag = CountdownTicks;
    checkTargetTimer->SetEnabled(true);
    rebuildOwed = true;
}

void TMainForm::HidCtlArrival(hid::THidDevice* /*HidDev*/) {
    if (!connected) {
        ArmCountdown();
    }
}

void TMainForm::HidCtlRemoval(hid::THidDevice* HidDev) {
    if (HasAdapterIds(*HidDev)) {
        ArmCountdown();
    }
}

void TMainForm::HidCtlDeviceChange(runtime::TComponent* /*Sender*/) {
    if (!checkTargetTimer->Enabled()) {
        return;
    }
    if (rebuilding) {
        rebuildAgain = true;
        return;
    }
    rebuilding = true;
    do {
        rebuildAgain = false;
        Rebuild();
    } while (rebuildAgain && checkTargetTimer->Enabled());
    rebuilding = false;
}

void TMainForm::Rebuild() {
    rebuildOwed = false;
    SetIndicator(false);
    const bool wasScanning = statusText == ScanningText;
    ShowStatus(ProgressColour, ScanningText);
    view.SetPanelText(StatusPanel, statusText);
    view.SetPanelText(AdapterPanel, {});
    if (!wasScanning) {
        AppendLogLine({});
        AppendLogLine(ScanningText);
    }
    DisableProgramButton();

    DestroyDevListDevices();

    hidCtl->Enumerate();
    if (!devListDevices.empty()) {
        view.SelectDeviceListEntry(0);
    }
}

void TMainForm::DestroyDevListDevices() {
    targetDevice = nullptr;
    // In list order; destroying a lent object is its check-in.
    for (auto& device : devListDevices) {
        device.reset();
    }
    devListDevices.clear();
    view.ClearDeviceList();
}

bool TMainForm::HidCtlEnumerate(hid::THidDevice* HidDev, int Idx) {
    SetIndicator(false);
    view.AddDeviceListEntry(DescribeDevice(HidDev));
    hid::THidDevice* lent = nullptr;
    hidCtl->CheckOutByIndex(lent, Idx);
    devListDevices.emplace_back(lent);
    return true;
}

std::string TMainForm::DescribeDevice(hid::THidDevice* HidDev) {
    std::string text = DeviceText(HidDev->ProductName());
    if (text.empty()) {
        const HIDD_ATTRIBUTES& attributes = HidDev->Attributes();
        std::array<char, 32> ids{};
        std::snprintf(ids.data(), ids.size(), "Device VID=%.4X PID=%.4X",
                      unsigned{attributes.VendorID}, unsigned{attributes.ProductID});
        text = ids.data();
    }
    const std::string serial = DeviceText(HidDev->SerialNumber());
    if (!serial.empty()) {
        text += " (Serial=" + serial + ")";
    }
    return text;
}

void TMainForm::CheckTargetTimerTimer(TTimer& /*Sender*/) {
    if (checkTargetTimer->Tag > 0) {
        --checkTargetTimer->Tag;
        if (checkTargetTimer->Tag != 0) {
            return;
        }
        // Before detection has started the list was never built: a search would find
        // nothing whatever is plugged in. The rebuild at the start arms the countdown again.
        if (!rebuildOwed) {
            FindTarget();
        }
    }
    checkTargetTimer->SetEnabled(false);
}

hid::THidDevice* TMainForm::DevListDevice(int index) const {
    return devListDevices.at(static_cast<std::size_t>(index)).get();
}

void TMainForm::FindTarget() {
    connected = false;
    int match = -1;
    for (std::size_t i = 0; i < devListDevices.size(); ++i) {
        hid::THidDevice* device = devListDevices[i].get();
        if (device == nullptr || !IsAdapter(*device)) {
            continue;
        }
        const std::string adapterText =
            FamilyName + " " + AdapterName + " " + DeviceText(device->SerialNumber());
        view.SetPanelText(AdapterPanel, adapterText);
        SetIndicator(true);
        EnableProgramButton();
        ShowStatus(ConnectedColour, adapterText + " is connected.");
        view.SetPanelText(StatusPanel, statusText);
        AppendLogLine(statusText);
        connected = true;
        match = static_cast<int>(i);
        break;
    }

    if (connected) {
        view.SelectDeviceListEntry(match);
        targetDevice = devListDevices[static_cast<std::size_t>(match)].get();
        if (targetDevice->HasReadWriteAccess()) {
            targetDevice->SetOnData(runtime::MakeEvent<&TMainForm::HandleAdapterReport>(this));
        }
        return;
    }
    SetIndicator(false);
    ShowStatus(NotFoundColour, NotFoundStatusText);
    view.SetPanelText(StatusPanel, NotFoundPanelText);
    AppendLogLine(NotFoundPanelText);
    DisableProgramButton();
}

} // namespace app
