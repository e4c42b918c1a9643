// The HID controller component on the Linux backend: the adapter comes, is lent out, takes a
// report, delivers one, and leaves.
#ifdef VUZ_HAVE_HID_CONTROLLER

#include "LinuxServicesFixture.h"
#include "hid/HidControllerClass.h"
#include "runtime/MainThreadQueue.h"
#include "runtime/Pump.h"

#include <chrono>
#include <gmock/gmock.h>
#include <memory>
#include <vector>

namespace platform::linux_backend::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

struct THolder {
    std::vector<std::string> Log;
    std::vector<hid::THidDevice*> Arrived;
    std::vector<std::vector<BYTE>> Reports;
    std::vector<DWORD> Errors;

    void Arrival(hid::THidDevice* device) {
        Log.push_back("arrival");
        Arrived.push_back(device);
        // The handler may read the device's identity while the controller raises the event.
        const HIDP_CAPS caps = device->Caps();
        InputLength = caps.InputReportByteLength;
        OutputLength = caps.OutputReportByteLength;
        Serial = device->SerialNumber();
    }
    void Removal(hid::THidDevice*) { Log.push_back("removal"); }
    void Change(runtime::TComponent*) { Log.push_back("change"); }
    void Data(hid::THidDevice*, BYTE reportId, const BYTE* data, WORD size) {
        std::vector<BYTE> report{reportId};
        report.insert(report.end(), data, data + size);
        Reports.push_back(std::move(report));
    }
    void DataError(hid::THidDevice*, DWORD error) { Errors.push_back(error); }

    USHORT InputLength = 0;
    USHORT OutputLength = 0;
    hid::WideString Serial;
};

class ControllerOnLinux : public LinuxServicesTest {
protected:
    ControllerOnLinux() { runtime::SetMainThread(); }

    template <typename F> bool Until(F&& done) {
        return runtime::PumpUntil(std::forward<F>(done), std::chrono::seconds(5));
    }
};

TEST_F(ControllerOnLinux, AdapterArrivesIsLentTalksAndLeaves) {
    THolder holder;
    auto controller = std::make_unique<hid::THidDeviceController>();
    controller->SetOnArrival(runtime::MakeEvent<&THolder::Arrival>(holder));
    controller->SetOnRemoval(runtime::MakeEvent<&THolder::Removal>(holder));
    controller->SetOnDeviceChange(runtime::MakeEvent<&THolder::Change>(holder));
    ASSERT_TRUE(Until([&] { return holder.Log.size() >= 1; })); // the forced first pass
    holder.Log.clear();

    // Plugged in: the kernel announces the node.
    const unsigned node = Tree().Plug();
    SendEvent("add", Tree().DevPath(node));
    ASSERT_TRUE(Until([&] { return holder.Log.size() >= 2; }));
    EXPECT_THAT(holder.Log, ElementsAre("arrival", "change"));
    ASSERT_EQ(holder.Arrived.size(), 1u);
    hid::THidDevice* arrived = holder.Arrived[0];
    EXPECT_EQ(arrived->Attributes().VendorID, 0x0416);
    EXPECT_EQ(arrived->Attributes().ProductID, 0x8249);
    EXPECT_EQ(holder.InputLength, 8);
    EXPECT_EQ(holder.OutputLength, 8);
    EXPECT_EQ(holder.Serial, hid::WideString(u"A1B2C3"));
    EXPECT_EQ(arrived->PnPInfo().DevicePath(), Tree().NodePath(node));

    // Checked out with a data handler: its read thread starts.
    hid::THidDevice* lent = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(lent, 0));
    ASSERT_EQ(lent, arrived);
    // The holder owns a lent device; destroying it checks it in.
    std::unique_ptr<hid::THidDevice> device(lent);
    EXPECT_TRUE(device->HasReadWriteAccess());
    device->SetOnDataError(runtime::MakeEvent<&THolder::DataError>(holder));
    device->SetOnData(runtime::MakeEvent<&THolder::Data>(holder));
    EXPECT_TRUE(device->HasReadThread());

    // The enable-programmer report reaches the node byte for byte.
    const std::vector<BYTE> command = {0x05, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
    DWORD written = 0;
    ASSERT_TRUE(device->WriteReport(command.data(), 8, written));
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(Tree().Drain(node, 8), command);

    // An input report at the node reaches OnData on the main thread.
    const std::vector<BYTE> input = {0x05, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    Tree().Feed(node, input);
    ASSERT_TRUE(Until([&] { return !holder.Reports.empty(); }));
    EXPECT_THAT(holder.Reports[0], ElementsAreArray(input));

    // Unplugged: the kernel removes the node and announces it.
    const std::string devPath = Tree().DevPath(node);
    Tree().Unplug(node);
    SendEvent("remove", devPath);
    ASSERT_TRUE(Until([&] { return holder.Log.size() >= 4; }));
    EXPECT_THAT(holder.Log, ElementsAre("arrival", "change", "removal", "change"));
    EXPECT_FALSE(device->IsPluggedIn());

    device.reset();
    EXPECT_EQ(controller->DeviceCount(), 0);
    controller.reset();
    runtime::PumpPending();
    EXPECT_EQ(Linux().OpenHandleCount(), 0u);
    EXPECT_EQ(Linux().DeviceSetCount(), 0u);
    EXPECT_EQ(Linux().PreparsedDataCount(), 0u);
    EXPECT_EQ(Linux().WindowCount(), 0u);
}

// sysfs is read once per device instance: the enumeration, the identification on arrival and
// later reconciliations share it. Identifying a device never opens its node (an open wakes
// a real device); the node is opened by the first write of a handle, once.
TEST_F(ControllerOnLinux, ReadsEachDeviceOnceForAsLongAsItStays) {
    constexpr std::size_t kDevices = 4;
    for (std::size_t i = 0; i < kDevices; ++i) {
        Tree().Plug();
    }
    THolder holder;
    auto controller = std::make_unique<hid::THidDeviceController>();
    controller->SetOnArrival(runtime::MakeEvent<&THolder::Arrival>(holder));
    ASSERT_TRUE(Until([&] { return holder.Arrived.size() == kDevices; }));
    TLinuxCounts counts = Linux().Counts();
    EXPECT_EQ(counts.IdentityReads, kDevices);
    EXPECT_EQ(counts.DescriptorReads, kDevices);
    EXPECT_EQ(counts.NodeOpens, 0u);
    // Handles for the construction, Caps and SerialNumber.
    EXPECT_EQ(counts.AccessChecks, 3 * kDevices);
    EXPECT_TRUE(holder.Arrived[0]->HasReadWriteAccess());

    // Unchanged: each device is constructed again, nothing is read or opened again.
    controller->DeviceChange();
    counts = Linux().Counts();
    EXPECT_EQ(counts.IdentityReads, kDevices);
    EXPECT_EQ(counts.DescriptorReads, kDevices);
    EXPECT_EQ(counts.NodeOpens, 0u);
    EXPECT_EQ(counts.AccessChecks, 4 * kDevices);

    // The first write opens the node, the next one writes on it; the bytes reach the device.
    hid::THidDevice* lent = nullptr;
    ASSERT_TRUE(controller->CheckOutByIndex(lent, 1));
    std::unique_ptr<hid::THidDevice> device(lent);
    unsigned node = 0;
    while (Tree().NodePath(node) != device->PnPInfo().DevicePath()) {
        ASSERT_LT(++node, kDevices);
    }
    const std::vector<BYTE> command = {0x05, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
    for (int write = 0; write < 2; ++write) {
        DWORD written = 0;
        ASSERT_TRUE(device->WriteReport(command.data(), 8, written));
        EXPECT_EQ(Tree().Drain(node, 8), command);
    }
    EXPECT_EQ(Linux().Counts().NodeOpens, 1u);
    device.reset();

    // A device that leaves and comes back is another instance, read afresh.
    Tree().Unplug(0);
    controller->DeviceChange();
    const unsigned again = Tree().Plug({}, 0);
    controller->DeviceChange();
    ASSERT_EQ(holder.Arrived.size(), kDevices + 1);
    EXPECT_EQ(holder.Arrived.back()->PnPInfo().DevicePath(), Tree().NodePath(again));
    counts = Linux().Counts();
    EXPECT_EQ(counts.IdentityReads, kDevices + 1);
    EXPECT_EQ(counts.DescriptorReads, kDevices + 1);

    controller.reset();
    runtime::PumpPending();
    EXPECT_EQ(Linux().OpenHandleCount(), 0u);
}

// The kernel gives a freed hidraw name to the next device at once. A held adapter that has
// left (its removal not yet handled) must write nothing, also not to the device that holds
// its node's name now, and say that it is not connected.
TEST_F(ControllerOnLinux, AWriteToAnAdapterThatHasLeftReachesNoOtherDevice) {
    for (const bool successor : {false, true}) {
        SCOPED_TRACE(successor ? "another device has its node" : "its node has gone");
        TFakeDevice adapter;
        adapter.Serial = "AAAA";
        const unsigned node = Tree().Plug(adapter, 0);
        THolder holder;
        auto controller = std::make_unique<hid::THidDeviceController>();
        controller->SetOnArrival(runtime::MakeEvent<&THolder::Arrival>(holder));
        ASSERT_TRUE(Until([&] { return holder.Arrived.size() == 1; }));
        hid::THidDevice* lent = nullptr;
        ASSERT_TRUE(controller->CheckOutByIndex(lent, 0));
        std::unique_ptr<hid::THidDevice> device(lent);

        Tree().Unplug(node);
        if (successor) {
            TFakeDevice other;
            other.Serial = "BBBB";
            ASSERT_EQ(Tree().Plug(other, node), node);
        }
        const std::vector<BYTE> command = {0x05, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
        DWORD written = 99;
        EXPECT_FALSE(device->WriteReport(command.data(), 8, written));
        EXPECT_EQ(Linux().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
        EXPECT_EQ(written, 0u);
        if (successor) {
            EXPECT_THAT(Tree().Drain(node, 1), ::testing::IsEmpty());
            // The newcomer itself is found and written to as usual.
            controller->DeviceChange();
            ASSERT_EQ(holder.Arrived.size(), 2u);
            EXPECT_EQ(holder.Serial, hid::WideString(u"BBBB"));
            hid::THidDevice* newcomer = nullptr;
            ASSERT_TRUE(controller->CheckOutByIndex(newcomer, 1));
            std::unique_ptr<hid::THidDevice> other(newcomer);
            ASSERT_TRUE(other->WriteReport(command.data(), 8, written));
            EXPECT_EQ(Tree().Drain(node, 8), command);
            other.reset();
            Tree().Unplug(node);
        }
        device.reset();
        controller.reset();
        runtime::PumpPending();
    }
}

} // namespace
} // namespace platform::linux_backend::testing

#endif
