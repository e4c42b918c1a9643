// The demo's virtual HID devices: two that are there from the start, and the adapter
// (serial DEMO0001), which arrives a moment after start and sends an input report now and
// then while it is plugged in.
#pragma once

#include "app/core/FormTimer.h"
#include "platform/sim/SimBus.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace demo {

inline constexpr int AdapterArrivalMs = 1200;
inline constexpr int AdapterReportPeriodMs = 1500;

// A keyboard the system holds (query access only) and a mouse without a product name.
void PlugStandingDevices(platform::sim::TSimBus& bus);

class TDemoAdapter {
public:
    // The timers come from the front end's loop (makeTimer).
    TDemoAdapter(platform::sim::TSimBus& bus, const app::TTimerFactory& makeTimer);

    // Plugs the adapter in AdapterArrivalMs after this call.
    void ArriveSoon();
    void Plug();
    void Unplug();
    bool IsPresent() const;
    std::optional<platform::sim::TSimDeviceId> Id() const { return id; }
    // Every report the bus took from the program for the adapter now plugged in (or last).
    std::vector<std::vector<BYTE>> Writes() const;

    // Told about every input report the adapter sends, and about plug and unplug.
    std::function<void(const std::vector<BYTE>& report)> OnReportSent;
    std::function<void(bool plugged)> OnPlugChange;

private:
    void SendReport();

    platform::sim::TSimBus& bus;
    std::optional<platform::sim::TSimDeviceId> id;
    std::unique_ptr<app::TTimer> arrival;
    std::unique_ptr<app::TTimer> reports;
    BYTE sequence = 0;
};

} // namespace demo
