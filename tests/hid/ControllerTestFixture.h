// Controller tests run on a fresh simulated bus that also keeps the notification window's
// procedure, so that a test can send it messages the way the platform would. Events are
// recorded into one log, in the order they were raised.
#pragma once

#include "hid/HidControllerClass.h"
#include "platform/sim/SimBus.h"
#include "runtime/Component.h"
#include "runtime/Event.h"
#include "runtime/MainThreadQueue.h"
#include "runtime/Pump.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace hid::test {

class TWindowCapturingBus : public platform::sim::TSimBus {
public:
    HWND CreateNotifyWindow(platform::WindowProcedure procedure) override {
        Procedure = procedure;
        return TSimBus::CreateNotifyWindow(std::move(procedure));
    }

    platform::WindowProcedure Procedure;
};

// Every event the controller and its devices raise, as "what:devinst" lines.
struct TEventLog {
    std::vector<std::string> Lines;
    std::function<void(THidDevice*)> OnArrivalHook;
    std::function<void(THidDevice*)> OnRemovalHook;
    std::function<void()> OnChangeHook;

    static std::string Id(const THidDevice* device) {
        return std::to_string(device->PnPInfo().DevInst());
    }

    void Arrival(THidDevice* device) {
        Lines.push_back("arrival:" + Id(device));
        if (OnArrivalHook) {
            OnArrivalHook(device);
        }
    }
    void Removal(THidDevice* device) {
        Lines.push_back("removal:" + Id(device));
        if (OnRemovalHook) {
            OnRemovalHook(device);
        }
    }
    void Unplug(THidDevice* device) { Lines.push_back("unplug:" + Id(device)); }
    void Change(runtime::TComponent* /*sender*/) {
        Lines.push_back("change");
        if (OnChangeHook) {
            OnChangeHook();
        }
    }

    std::size_t Count(const std::string& line) const {
        return static_cast<std::size_t>(std::count(Lines.begin(), Lines.end(), line));
    }
};

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() {
        runtime::SetMainThread();
        auto bus = std::make_unique<TWindowCapturingBus>();
        bus_ = bus.get();
        previous_ = platform::InstallServices(std::move(bus));
    }

    ~ControllerTest() override { platform::InstallServices(std::move(previous_)); }

    void TearDown() override {
        controller_.reset();
        runtime::PumpPending();
        EXPECT_THAT(Bus().Violations(), ::testing::IsEmpty());
        EXPECT_THAT(Bus().Leaks(), ::testing::IsEmpty());
    }

    TWindowCapturingBus& Bus() { return *bus_; }

    // A controller whose events all go to the log; the first reconciliation is not run yet.
    THidDeviceController& MakeController() {
        // The HID binding has one user at a time: the old controller goes first.
        controller_.reset();
        controller_ = std::make_unique<THidDeviceController>();
        {
            // As when the form streams its handlers in: assigning OnDeviceChange now does
            // not reconcile.
            runtime::TLoadingGuard loading(*controller_);
            WireEvents(*controller_);
        }
        return *controller_;
    }

    void WireEvents(THidDeviceController& controller) {
        controller.SetOnArrival(runtime::MakeEvent<&TEventLog::Arrival>(log_));
        controller.SetOnRemoval(runtime::MakeEvent<&TEventLog::Removal>(log_));
        controller.SetOnDeviceUnplug(runtime::MakeEvent<&TEventLog::Unplug>(log_));
        controller.SetOnDeviceChange(runtime::MakeEvent<&TEventLog::Change>(log_));
    }

    // Lets the message loop run: posted and broadcast device-change messages arrive.
    static void RunMessageLoop() { runtime::PumpPending(); }

    // Sends a message to the notification window as the platform would, returning its result.
    LRESULT SendToWindow(UINT message, WPARAM wParam, LPARAM lParam) {
        return Bus().Procedure(message, wParam, lParam);
    }

    static std::string Id(platform::sim::TSimDeviceId device) {
        return std::to_string(platform::sim::TSimBus::Installed()->DevInst(device));
    }

    std::vector<DWORD> ListedDevInsts() const {
        std::vector<DWORD> result;
        for (int slot = 0; slot < controller_->DeviceCount(); ++slot) {
            result.push_back(controller_->Device(slot)->PnPInfo().DevInst());
        }
        return result;
    }

    void ExpectCounters(int checkedIn, int checkedOut, int unplugged) const {
        EXPECT_EQ(controller_->CheckedInCount(), checkedIn);
        EXPECT_EQ(controller_->CheckedOutCount(), checkedOut);
        EXPECT_EQ(controller_->UnpluggedCount(), unplugged);
    }

    // The holder's side of check-out: the device is the test's until it lets it go.
    std::unique_ptr<THidDevice> CheckOut(int slot) {
        THidDevice* device = nullptr;
        EXPECT_TRUE(controller_->CheckOutByIndex(device, slot));
        return std::unique_ptr<THidDevice>(device);
    }

    platform::sim::TSimDeviceId PlugQuietly(platform::sim::TSimDeviceConfig spec = {}) {
        return Bus().Plug(std::move(spec), platform::sim::TBroadcast::No);
    }

    TEventLog log_;
    std::unique_ptr<THidDeviceController> controller_;

private:
    TWindowCapturingBus* bus_ = nullptr;
    std::unique_ptr<platform::TPlatformServices> previous_;
};

} // namespace hid::test
