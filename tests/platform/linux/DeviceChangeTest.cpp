#include "LinuxServicesFixture.h"
#include "ScriptedEvents.h"
#include "platform/linux/DeviceMonitor.h"
#include "runtime/MainThreadQueue.h"
#include "runtime/Pump.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace platform::linux_backend::testing {
namespace {

struct TMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class DeviceChange : public LinuxServicesTest {
protected:
    explicit DeviceChange(const TAdjust& adjust = {}) : LinuxServicesTest(adjust) {
        runtime::SetMainThread();
    }

    ~DeviceChange() override {
        for (HWND window : windows_) {
            Linux().DestroyWindow(window);
        }
    }

    HWND Window(std::vector<TMessage>& received) {
        const HWND window = Linux().CreateNotifyWindow([&received](UINT m, WPARAM w, LPARAM l) {
            received.push_back({m, w, l});
            return LRESULT{0};
        });
        windows_.push_back(window);
        return window;
    }

    bool WaitFor(const std::vector<TMessage>& received, std::size_t count) {
        return runtime::PumpUntil([&] { return received.size() >= count; },
                                  std::chrono::seconds(5));
    }

    DWORD DevInstOf(unsigned node) {
        const GUID guid = {
            0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
        const HDEVINFO set = Linux().SetupDiGetClassDevsA(&guid, nullptr, nullptr, 0x12);
        SP_DEVICE_INTERFACE_DATA interface {};
        interface.cbSize = sizeof interface;
        DWORD devInst = 0;
        for (DWORD i = 0; Linux().SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &interface);
             ++i) {
            char block[512] = {};
            auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block);
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            SP_DEVINFO_DATA info{};
            info.cbSize = sizeof info;
            if (Linux().SetupDiGetDeviceInterfaceDetailA(set, &interface, detail, sizeof block,
                                                         nullptr, &info) &&
                Tree().NodePath(node) == detail->DevicePath) {
                devInst = info.DevInst;
            }
        }
        Linux().SetupDiDestroyDeviceInfoList(set);
        return devInst;
    }

    std::vector<HWND> windows_;
};

TEST_F(DeviceChange, HidrawAddAndRemoveAreBroadcastToEveryWindow) {
    std::vector<TMessage> first;
    std::vector<TMessage> second;
    Window(first);
    Window(second);
    const unsigned node = Tree().Plug();
    SendEvent("add", Tree().DevPath(node));
    ASSERT_TRUE(WaitFor(first, 1));
    ASSERT_TRUE(WaitFor(second, 1));
    EXPECT_EQ(first[0].message, WM_DEVICECHANGE);
    EXPECT_EQ(first[0].wParam, kDbtDevnodesChanged);
    EXPECT_EQ(first[0].lParam, 0);

    SendEvent("remove", Tree().DevPath(node));
    ASSERT_TRUE(WaitFor(first, 2));
    EXPECT_EQ(first[1].wParam, kDbtDevnodesChanged);
}

TEST_F(DeviceChange, OtherEventsAreNotBroadcast) {
    std::vector<TMessage> received;
    Window(received);
    SendEvent("add", "/devices/pci0000:00/usb1/1-9", "usb");
    SendEvent("change", "/devices/x/hidraw/hidraw0");
    SendEvent("bind", "/devices/x/0003:0416:8249.0001", "hid");
    SendEvent("add", "/devices/x/hidraw/hidraw7");
    ASSERT_TRUE(WaitFor(received, 1));
    // Events are handled in order: the hidraw one came last.
    runtime::PumpPending();
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(DeviceChange, ARemovedNodeGetsANewInstanceNumberWhenItComesBack) {
    std::vector<TMessage> received;
    Window(received);
    const unsigned node = Tree().Plug();
    const DWORD before = DevInstOf(node);
    ASSERT_NE(before, 0u);
    // Gone and back before anyone enumerated: only the event tells.
    SendEvent("remove", Tree().DevPath(node));
    SendEvent("add", Tree().DevPath(node));
    ASSERT_TRUE(WaitFor(received, 2));
    const DWORD after = DevInstOf(node);
    EXPECT_NE(after, 0u);
    EXPECT_NE(after, before);
}

TEST_F(DeviceChange, PostedMessagesReachTheirWindowWhenTheQueueIsServed) {
    std::vector<TMessage> received;
    const HWND window = Window(received);
    ASSERT_TRUE(Linux().PostMessageA(window, WM_DEVICECHANGE, kDbtDevnodesChanged, -1));
    EXPECT_TRUE(received.empty());
    ASSERT_TRUE(WaitFor(received, 1));
    EXPECT_EQ(received[0].lParam, -1);
}

TEST_F(DeviceChange, WindowsBelongToTheThreadThatMadeThem) {
    std::vector<TMessage> received;
    const HWND window = Window(received);
    std::thread other([&] {
        EXPECT_FALSE(Linux().DestroyWindow(window));
        EXPECT_EQ(Linux().GetLastError(), ERROR_ACCESS_DENIED);
    });
    other.join();
    EXPECT_TRUE(Linux().DestroyWindow(window));
    windows_.clear();
    EXPECT_FALSE(Linux().DestroyWindow(window));
    EXPECT_EQ(Linux().GetLastError(), 1400u);
    EXPECT_FALSE(Linux().PostMessageA(window, WM_DEVICECHANGE, kDbtDevnodesChanged, 0));
    EXPECT_EQ(Linux().GetLastError(), 1400u);
}

TEST_F(DeviceChange, AMessageForADestroyedWindowIsDropped) {
    std::vector<TMessage> received;
    const HWND window = Window(received);
    ASSERT_TRUE(Linux().PostMessageA(window, WM_DEVICECHANGE, kDbtDevnodesChanged, 0));
    EXPECT_TRUE(Linux().DestroyWindow(window));
    windows_.clear();
    runtime::PumpPending();
    EXPECT_TRUE(received.empty());
}

// A sandbox without udevd and without the kernel's event socket: the device directory is
// watched instead, and the program says so once.
class DeviceChangeWithoutEventSockets : public DeviceChange {
protected:
    DeviceChangeWithoutEventSockets()
        : DeviceChange([](TLinuxOptions& options) {
              options.Events = TEventFeed::Automatic;
              options.OpenKernelEvents = [] {
                  return std::unique_ptr<TEventSource>();
              };
          }) {}
};

TEST_F(DeviceChangeWithoutEventSockets, NoticesNodesInTheDeviceDirectoryAndSaysSo) {
    std::vector<TMessage> received;
    ::testing::internal::CaptureStderr();
    Window(received);
    Window(received); // the monitor starts once
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("watching " + Tree().Roots().Dev + " for hidraw nodes"), std::string::npos)
        << said;

    const unsigned node = Tree().Plug();
    ASSERT_TRUE(WaitFor(received, 2));
    EXPECT_EQ(received[0].message, WM_DEVICECHANGE);
    EXPECT_EQ(received[0].wParam, kDbtDevnodesChanged);
    const DWORD before = DevInstOf(node);
    ASSERT_NE(before, 0u);

    // Gone and back under the same name: another instance.
    Tree().Unplug(node);
    ASSERT_TRUE(WaitFor(received, 4));
    Tree().Plug({}, node);
    ASSERT_TRUE(WaitFor(received, 6));
    const DWORD after = DevInstOf(node);
    EXPECT_NE(after, 0u);
    EXPECT_NE(after, before);
}

struct TScriptHolder {
    std::shared_ptr<TEventScript> script = std::make_shared<TEventScript>();
};

// Events from a source that can say that events were lost, as a socket whose queue overran
// in a burst does.
class DeviceChangeWithLosses : protected TScriptHolder, public DeviceChange {
protected:
    DeviceChangeWithLosses()
        : DeviceChange([script = script](TLinuxOptions& options) { UseScript(options, script); }) {}

    static TReceived Added(const std::string& devPath) {
        return TReceived::Of({"add", devPath, "hidraw", "hidraw0"});
    }
};

// Which devices came or went is unknown after a loss: one change is broadcast for it, so
// that every window reads the device list again; and the program says so, once.
TEST_F(DeviceChangeWithLosses, ALossIsBroadcastAsOneChangeAndToldOnce) {
    std::vector<TMessage> received;
    Window(received);
    ::testing::internal::CaptureStderr();
    script->PushAll({TReceived::Lost(), TReceived::Lost(), TReceived::Lost()});
    ASSERT_TRUE(WaitFor(received, 1));
    EXPECT_EQ(received[0].message, WM_DEVICECHANGE);
    EXPECT_EQ(received[0].wParam, kDbtDevnodesChanged);
    // Handled in order: had the burst been broadcast more than once, it would show here.
    script->Push(Added("/devices/x/hidraw/hidraw0"));
    ASSERT_TRUE(WaitFor(received, 2));
    script->Lose();
    ASSERT_TRUE(WaitFor(received, 3));
    runtime::PumpPending();
    EXPECT_EQ(received.size(), 3u);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("Device events: some were lost"), std::string::npos) << said;
}

} // namespace
} // namespace platform::linux_backend::testing
