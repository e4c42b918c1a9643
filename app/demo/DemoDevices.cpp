#include "app/demo/DemoDevices.h"

namespace demo {

using platform::sim::TSimAccess;
using platform::sim::TSimDeviceConfig;
using platform::sim::TSimString;

void PlugStandingDevices(platform::sim::TSimBus& bus) {
    TSimDeviceConfig keyboard;
    keyboard.VendorID = 0x046D;
    keyboard.ProductID = 0xC31C;
    keyboard.UsagePage = 0x0001;
    keyboard.Usage = 0x0006;
    keyboard.InputReportByteLength = 9;
    keyboard.OutputReportByteLength = 2;
    keyboard.Manufacturer = TSimString::Present(u"Logitech");
    keyboard.Product = TSimString::Present(u"USB Keyboard");
    keyboard.SerialNumber = TSimString::Absent();
    keyboard.Access = TSimAccess::QueryOnly;
    bus.Plug(keyboard, platform::sim::TBroadcast::No);

    TSimDeviceConfig mouse;
    mouse.VendorID = 0x093A;
    mouse.ProductID = 0x2510;
    mouse.UsagePage = 0x0001;
    mouse.Usage = 0x0002;
    mouse.InputReportByteLength = 5;
    mouse.OutputReportByteLength = 0;
    mouse.Manufacturer = TSimString::Absent();
    mouse.Product = TSimString::Absent();
    mouse.SerialNumber = TSimString::Absent();
    mouse.Access = TSimAccess::QueryOnly;
    bus.Plug(mouse, platform::sim::TBroadcast::No);
}

TDemoAdapter::TDemoAdapter(platform::sim::TSimBus& bus, const app::TTimerFactory& makeTimer)
    : bus(bus), arrival(makeTimer()), reports(makeTimer()) {
    arrival->SetInterval(AdapterArrivalMs);
    arrival->OnTimer = [this](app::TTimer& timer) {
        timer.SetEnabled(false);
        Plug();
    };
    reports->SetInterval(AdapterReportPeriodMs);
    reports->OnTimer = [this](app::TTimer& /*timer*/) {
        SendReport();
    };
}

void TDemoAdapter::ArriveSoon() {
    arrival->SetEnabled(true);
}

void TDemoAdapter::Plug() {
    if (IsPresent()) {
        return;
    }
    TSimDeviceConfig device; // the adapter's IDs and 8-byte reports
    device.Manufacturer = TSimString::Present(u"ZEM");
    device.Product = TSimString::Present(u"VUZ Programming Adapter");
    device.SerialNumber = TSimString::Present(u"DEMO0001");
    id = bus.Plug(device);
    reports->SetEnabled(true);
    if (OnPlugChange) {
        OnPlugChange(true);
    }
}

void TDemoAdapter::Unplug() {
    if (!IsPresent()) {
        return;
    }
    reports->SetEnabled(false);
    bus.Unplug(*id);
    if (OnPlugChange) {
        OnPlugChange(false);
    }
}

std::vector<std::vector<BYTE>> TDemoAdapter::Writes() const {
    return id ? bus.Writes(*id) : std::vector<std::vector<BYTE>>{};
}

bool TDemoAdapter::IsPresent() const {
    return id && bus.IsPresent(*id);
}

void TDemoAdapter::SendReport() {
    if (!IsPresent()) {
        return;
    }
    // Report ID 1, then a running count: a stand-in for the adapter's status reports.
    std::vector<BYTE> report{0x01, sequence++, 0, 0, 0, 0, 0, 0};
    bus.PushInputReport(*id, report);
    if (OnReportSent) {
        OnReportSent(report);
    }
}

} // namespace demo
