// The window's behaviour on a fresh simulated HID bus with a recording view: devices to
// plug, what the view shows in one record, ticks by calling the tick handler, and the bus
// checked for misuse and leaks once the window is gone.
#pragma once

#include "RecordingView.h"
#include "app/core/MainForm.h"
#include "platform/sim/ScopedSimBus.h"
#include "runtime/Pump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace apptest {

using platform::sim::TBroadcast;
using platform::sim::TSimDeviceConfig;
using platform::sim::TSimDeviceId;
using platform::sim::TSimString;

using TLines = std::vector<std::string>;

inline constexpr app::TRgb Green = app::ProgressColour;
inline constexpr app::TRgb Blue = app::ConnectedColour;
inline constexpr app::TRgb Red = app::NotFoundColour;

// What the operator sees.
struct TView {
    std::string Label;
    app::TRgb Colour;
    std::string Panel1;
    std::string Panel2;
    bool GreenBall = false;
    bool ProgramEnabled = false;

    friend bool operator==(const TView&, const TView&) = default;
    friend std::ostream& operator<<(std::ostream& out, const TView& v) {
        return out << "{\"" << v.Label << "\" rgb(" << int{v.Colour.Red} << ","
                   << int{v.Colour.Green} << "," << int{v.Colour.Blue} << ") p1=\"" << v.Panel1
                   << "\" p2=\"" << v.Panel2 << "\" " << (v.GreenBall ? "green" : "grey") << " "
                   << (v.ProgramEnabled ? "enabled" : "disabled") << "}";
    }
};

inline TView ScanningView() {
    return {"Scanning...", Green, "Scanning...", {}, false, false};
}
inline TView ConnectedView(const std::string& serial) {
    const std::string name = "ZEM VUZ " + serial;
    return {name + " is connected.", Blue, name + " is connected.", name, true, true};
}
inline TView NotFoundView() {
    return {"Please connect VUZ Device.", Red, "VUZ Device is not found.", {}, false, false};
}

// The adapter's IDs and report lengths with the given serial number.
inline TSimDeviceConfig Adapter(std::u16string serial = u"VUZ0001") {
    TSimDeviceConfig device;
    device.Product = TSimString::Present(u"VUZ Programming Adapter");
    device.SerialNumber = TSimString::Present(std::move(serial));
    return device;
}

inline TSimDeviceConfig OtherDevice(USHORT vendor = 0x046D, USHORT product = 0xC31C) {
    TSimDeviceConfig device;
    device.VendorID = vendor;
    device.ProductID = product;
    device.Product = TSimString::Present(u"USB Keyboard");
    device.SerialNumber = TSimString::Absent();
    return device;
}

inline bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Read errors of an adapter that was just pulled may or may not reach the log before the
// window rebuilds its list; comparisons that do not expect them leave them out.
inline TLines WithoutReadErrors(const TLines& lines) {
    TLines kept;
    for (const std::string& line : lines) {
        if (!StartsWith(line, "READ ERROR: ")) {
            kept.push_back(line);
        }
    }
    return kept;
}

// The lines from index first on.
inline TLines From(const TLines& lines, std::size_t first) {
    return first < lines.size()
               ? TLines(lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end())
               : TLines{};
}

// How many lines contain the text.
inline std::size_t CountContaining(const TLines& lines, const std::string& text) {
    std::size_t n = 0;
    for (const std::string& line : lines) {
        n += line.find(text) != std::string::npos ? 1 : 0;
    }
    return n;
}

class SimFormTest : public testing::Test {
protected:
    SimFormTest() {
        // What the message loop would deliver while the window processes its messages.
        view.OnProcessMessages = [] {
            runtime::PumpPending();
        };
    }
    ~SimFormTest() override = default;

    void TearDown() override {
        form.reset();
        // Nothing queued for the main thread may outlive this test's bus.
        Serve();
        EXPECT_THAT(sim->Violations(), testing::IsEmpty());
        EXPECT_THAT(sim->Leaks(), testing::IsEmpty());
    }

    platform::sim::TSimBus& Bus() { return sim.Bus(); }

    // Creates the window on the devices plugged so far and activates it, as the first
    // showing does; then lets the message loop deliver what is waiting.
    void Start() {
        CreateForm();
        form->FormActivate(nullptr);
        Serve();
    }
    void CreateForm() {
        form = std::make_unique<app::TMainForm>(view, std::make_unique<app::TManualTimer>());
    }

    // Plugs a device that is there before the window starts.
    TSimDeviceId PlugQuietly(TSimDeviceConfig device) {
        return Bus().Plug(std::move(device), TBroadcast::No);
    }
    // Plugs or unplugs a device and lets the window handle the notification.
    TSimDeviceId Plug(TSimDeviceConfig device) {
        const TSimDeviceId id = Bus().Plug(std::move(device));
        Serve();
        return id;
    }
    void Unplug(TSimDeviceId id) {
        Bus().Unplug(id);
        Serve();
    }

    // Runs every call waiting for the main thread (device-change messages, hand-overs).
    static void Serve() { runtime::PumpPending(); }

    // The timer's ticks; a tick of a stopped timer does nothing, as on a real loop.
    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            form->CheckTargetTimer().Tick();
        }
    }
    // Ticks until the countdown has ended (at most its length).
    void TickOut() {
        for (int i = 0; i < app::TMainForm::CountdownTicks && form->CheckTargetTimer().Enabled();
             ++i) {
            Tick();
        }
    }
    // A press of "Program": the button's handler runs only while the button is enabled.
    void PressProgram() {
        if (view.ProgramEnabled) {
            form->InProgButtonClick(nullptr);
        }
    }

    TView View() const {
        return {view.StatusText,
                view.StatusColour,
                view.Panels[app::StatusPanel],
                view.Panels[app::AdapterPanel],
                view.GreenBall,
                view.ProgramEnabled};
    }

    const TLines& Log() const { return view.Log; }
    const TLines& DeviceList() const { return view.DeviceList; }

    bool ReadThreadRuns() const {
        return form->TargetDevice() != nullptr && form->TargetDevice()->HasReadThread();
    }

    platform::sim::TScopedSimBus sim;
    TRecordingView view;
    std::unique_ptr<app::TMainForm> form;
};

} // namespace apptest
