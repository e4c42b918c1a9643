#include "hid/HidControllerClass.h"
#include "platform/PlatformServices.h"
#include "tests/platform/win32/MessageLoop.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

namespace {

using hid::THidDevice;
using hid::THidDeviceController;

void WINAPI IgnoreCompletion(DWORD, DWORD, LPOVERLAPPED) {}

// A controller on the system's own libraries, as the program constructs it.
class RealController : public testing::Test {
protected:
    void SetUp() override {
        controller.SetOnArrival(hid::THidPlugEvent::FromCallable(countArrival));
        ASSERT_NE(controller.NotifyWindow(), nullptr);
    }

    // Its first notification is posted at construction and arrives through the loop.
    bool FirstNotificationServed() {
        return win32_test::PumpMessagesUntil([this] { return controller.ChangeParam() == -1; });
    }

    // Borrows every listed device, as the program does: devices are opened only while lent
    // (or inside a controller event). Held until the test ends, then checked in.
    void CheckOutAll() {
        std::function<bool(THidDevice*, int)> checkOut = [this](THidDevice*, int index) {
            THidDevice* device = nullptr;
            if (controller.CheckOutByIndex(device, index)) {
                held.emplace_back(device);
            }
            return true;
        };
        controller.SetOnEnumerate(hid::THidEnumerateEvent::FromCallable(checkOut));
        controller.Enumerate();
        controller.SetOnEnumerate(nullptr);
    }

    THidDeviceController controller;
    int arrivals = 0;
    std::function<void(THidDevice*)> countArrival = [this](THidDevice*) {
        ++arrivals;
    };
    // Destroyed before the controller: the check-in.
    std::vector<std::unique_ptr<THidDevice>> held;
};

TEST_F(RealController, FindsTheDevicesOnlyOnceTheMessageLoopRuns) {
    EXPECT_EQ(controller.DeviceCount(), 0);
    ASSERT_TRUE(FirstNotificationServed());
    EXPECT_EQ(arrivals, controller.DeviceCount());
    if (win32_test::RunningUnderWine()) {
        EXPECT_GE(controller.DeviceCount(), 2);
    }
}

TEST_F(RealController, IdentifiesEveryDevice) {
    ASSERT_TRUE(FirstNotificationServed());
    CheckOutAll();
    EXPECT_EQ(static_cast<int>(held.size()), controller.DeviceCount());
    std::vector<std::pair<USHORT, USHORT>> ids;
    for (const auto& lent : held) {
        THidDevice& device = *lent;
        SCOPED_TRACE(device.PnPInfo().DevicePath());
        EXPECT_TRUE(device.IsPluggedIn());
        ids.emplace_back(device.Attributes().VendorID, device.Attributes().ProductID);
        const HIDP_CAPS caps = device.Caps();
        EXPECT_NE(caps.UsagePage, 0);
        EXPECT_GT(caps.InputReportByteLength + caps.OutputReportByteLength +
                      caps.FeatureReportByteLength,
                  0);
        // Strings are fetched once and cached.
        const hid::WideString product = device.ProductName();
        EXPECT_EQ(device.ProductName(), product);
        if (win32_test::RunningUnderWine() && device.Attributes().VendorID == 0x845E) {
            // Wine names its virtual devices and gives them the serial number "0000", but
            // cannot read their language list: the serial is kept all the same.
            EXPECT_FALSE(device.VendorName().empty());
            EXPECT_FALSE(product.empty());
            EXPECT_EQ(device.SerialNumber(), u"0000");
        }
    }
    if (win32_test::RunningUnderWine()) {
        for (const USHORT product : {USHORT{1}, USHORT{2}}) {
            EXPECT_NE(std::find(ids.begin(), ids.end(), std::pair<USHORT, USHORT>{0x845E, product}),
                      ids.end())
                << "Wine's virtual device " << product;
        }
    }
}

TEST_F(RealController, ACancelledReadCompletesAsAborted) {
    ASSERT_TRUE(FirstNotificationServed());
    CheckOutAll();
    ASSERT_FALSE(held.empty());
    THidDevice& device = *held.front();
    const HIDP_CAPS caps = device.Caps();
    ASSERT_GT(caps.InputReportByteLength, 0);
    ASSERT_TRUE(device.OpenFileEx(hid::DeviceKind::Read));
    std::vector<BYTE> buffer(caps.InputReportByteLength);
    ASSERT_TRUE(
        device.BeginRead(buffer.data(), static_cast<DWORD>(buffer.size()), IgnoreCompletion));
    EXPECT_TRUE(device.CancelPendingIO(hid::DeviceKind::Read));
    EXPECT_EQ(platform::Services().SleepEx(10000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(device.ReadResult(), 0u);
    EXPECT_EQ(platform::Services().GetLastError(), DWORD{ERROR_OPERATION_ABORTED});
    device.CloseFileEx(hid::DeviceKind::Read);
}

} // namespace
