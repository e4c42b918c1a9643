// Tests on the simulated bus: a fresh bus per test, the test's thread as the main thread,
// and no misuse of the platform (the bus's violations) left behind. The device fixture also
// binds the setup and HID libraries, as a controller would, and builds devices without one.
#pragma once

#include "hid/HidControllerClass.h"
#include "platform/Hid.h"
#include "platform/SetupApi.h"
#include "platform/sim/ScopedSimBus.h"
#include "runtime/MainThreadQueue.h"
#include "runtime/Pump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace hid {

// The states the controller gives a device (check-out, a controller event), for tests that
// need no controller.
struct THidDeviceTestAccess {
    // As the controller's check-out: the read thread starts if the device may run one.
    static void CheckOut(THidDevice& device) {
        device.isCheckedOut = true;
        device.StartThread();
    }
    static void SetInControllerEvent(THidDevice& device, bool value) {
        device.inControllerEvent = value;
    }
    static THidDeviceReadThread* ReadThread(const THidDevice& device) {
        return device.readThread.get();
    }
};

} // namespace hid

namespace hid::test {

// What a virtual device on the bus is.
using TDeviceConfig = platform::sim::TSimDeviceConfig;

class HidTestFixture : public ::testing::Test {
protected:
    void SetUp() override {
        runtime::SetMainThread();
        runtime::SetWakeHook({});
        runtime::PumpPending();
    }

    void TearDown() override {
        runtime::PumpPending();
        ReleaseLibraries();
        EXPECT_THAT(Bus().Violations(), ::testing::IsEmpty());
        EXPECT_EQ(runtime::PendingMainThreadCalls(), 0U);
    }

    platform::sim::TSimBus& Bus() const { return bus.Bus(); }

    void BindLibraries() {
        setupBound = platform::BindSetupApi();
        hidBound = setupBound && platform::BindHid();
        ASSERT_TRUE(hidBound);
    }

    void ReleaseLibraries() {
        if (hidBound) {
            platform::ReleaseHid();
            hidBound = false;
        }
        if (setupBound) {
            platform::ReleaseSetupApi();
            setupBound = false;
        }
    }

private:
    platform::sim::TScopedSimBus bus;
    bool setupBound = false;
    bool hidBound = false;
};

// Devices built straight from the bus's interfaces, with no controller.
class HidDeviceFixture : public HidTestFixture {
protected:
    void SetUp() override {
        HidTestFixture::SetUp();
        BindLibraries();
    }

    // Every handle closed and every preparsed data freed once the libraries are released.
    void TearDown() override {
        runtime::PumpPending();
        ReleaseLibraries();
        EXPECT_THAT(Bus().Leaks(), ::testing::IsEmpty());
        HidTestFixture::TearDown();
    }

    // The plug-and-play record of a plugged device, found as the controller finds it.
    static std::unique_ptr<THidPnPInfo> PnPInfoFor(platform::sim::TSimDeviceId id) {
        const auto& setup = platform::SetupApiEntries();
        const std::string path = platform::sim::TSimBus::Installed()->DevicePath(id);
        GUID guid{};
        platform::HidEntries().HidD_GetHidGuid(&guid);
        HDEVINFO set = setup.SetupDiGetClassDevs(&guid, nullptr, nullptr,
                                                 DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE) {
            throw std::runtime_error("no device set");
        }
        std::unique_ptr<THidPnPInfo> found;
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        for (DWORD i = 0;
             !found && setup.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &interfaceData);
             ++i) {
            SP_DEVINFO_DATA info{};
            info.cbSize = sizeof info;
            DWORD needed = 0;
            setup.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &needed, &info);
            std::vector<std::uint64_t> block((needed + 7) / 8 + 1); // aligned for the record
            auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (setup.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, needed, &needed,
                                                       &info) &&
                path == detail->DevicePath) {
                found = std::make_unique<THidPnPInfo>(set, info, detail->DevicePath);
            }
        }
        setup.SetupDiDestroyDeviceInfoList(set);
        if (!found) {
            throw std::runtime_error("device not enumerated");
        }
        return found;
    }

    static std::unique_ptr<THidDevice> MakeDevice(platform::sim::TSimDeviceId id) {
        return std::make_unique<THidDevice>(PnPInfoFor(id), nullptr);
    }

    // Plugs a device and builds its object.
    std::unique_ptr<THidDevice> PlugDevice(TDeviceConfig config = {}) {
        const auto id = Bus().Plug(std::move(config), platform::sim::TBroadcast::No);
        lastPlugged = id;
        return MakeDevice(id);
    }

    platform::sim::TSimDeviceId lastPlugged = 0;
};

} // namespace hid::test
