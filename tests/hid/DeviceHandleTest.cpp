// When a device opens and closes its handles, writes, cancels and handles its unplugging.
#include "DeviceTestSupport.h"
#include "HidTestFixture.h"

#include <array>
#include <vector>

namespace hid::test {
namespace {

using ::testing::ElementsAre;

class DeviceHandleTest : public HidDeviceFixture {};

// A device nobody holds and that is in no controller event makes no platform call at all,
// whatever is asked of it; cached values are still served.
TEST_F(DeviceHandleTest, InaccessibleDeviceMakesNoPlatformCall) {
    const auto device = PlugDevice();
    THidDeviceTestAccess::SetInControllerEvent(*device, true);
    ASSERT_EQ(device->VendorName(), u"Simulated Devices");
    THidDeviceTestAccess::SetInControllerEvent(*device, false);
    Bus().ResetCallCounts();

    EXPECT_EQ(device->VendorName(), u"Simulated Devices");
    EXPECT_EQ(device->ProductName(), u"");
    EXPECT_EQ(device->SerialNumber(), u"");
    EXPECT_EQ(device->PreparsedData(), nullptr);
    EXPECT_EQ(device->Caps().InputReportByteLength, 0);
    EXPECT_FALSE(device->OpenFile());
    EXPECT_FALSE(device->OpenFileEx(DeviceKind::Read));
    EXPECT_FALSE(device->OpenFileEx(DeviceKind::Write));
    const std::array<BYTE, 8> report{5, 0, 2};
    DWORD written = 1;
    EXPECT_FALSE(device->WriteReport(report.data(), report.size(), written));
    EXPECT_EQ(written, 0U);
    std::array<BYTE, 8> buffer{};
    EXPECT_FALSE(
        device->BeginRead(buffer.data(), buffer.size(), [](DWORD, DWORD, LPOVERLAPPED) {}));
    EXPECT_EQ(device->ReadResult(), 0U);
    EXPECT_FALSE(device->CancelPendingIO(DeviceKind::Read));
    EXPECT_EQ(Bus().TotalCallCount(), 0U);
}

TEST_F(DeviceHandleTest, ControllerEventMakesTheDeviceAccessible) {
    const auto device = PlugDevice();
    EXPECT_FALSE(device->IsAccessible());
    THidDeviceTestAccess::SetInControllerEvent(*device, true);
    EXPECT_TRUE(device->IsAccessible());
    EXPECT_TRUE(device->OpenFile());
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 1U);
    THidDeviceTestAccess::SetInControllerEvent(*device, false);
    EXPECT_TRUE(device->OpenFile()); // open already: reported, nothing opened
    device->CloseFile();
    EXPECT_FALSE(device->OpenFile());
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);
}

TEST_F(DeviceHandleTest, StringFetchClosesTheWriteHandleAndTheNextWriteReopensIt) {
    const auto device = PlugDevice();
    THidDeviceTestAccess::CheckOut(*device);
    const std::array<BYTE, 8> report{5, 0, 2};
    DWORD written = 0;
    ASSERT_TRUE(device->WriteReport(report.data(), report.size(), written));
    EXPECT_EQ(written, 8U);
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 1U);
    const auto opensBefore = Bus().CallCount("CreateFileA");

    EXPECT_EQ(device->ProductName(), u"Simulated HID Device");
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);

    ASSERT_TRUE(device->WriteReport(report.data(), report.size(), written));
    EXPECT_EQ(Bus().CallCount("CreateFileA"), opensBefore + 1);
    const std::vector<BYTE> expected(report.begin(), report.end());
    EXPECT_THAT(Bus().Writes(lastPlugged), ElementsAre(expected, expected));
}

TEST_F(DeviceHandleTest, WritesKeepTheGeneralHandleOpen) {
    const auto device = PlugDevice();
    THidDeviceTestAccess::CheckOut(*device);
    const std::array<BYTE, 8> report{5, 0, 2};
    DWORD written = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(device->WriteReport(report.data(), report.size(), written));
    }
    EXPECT_EQ(Bus().CallCount("CreateFileA"), 2U); // construction, then the first write
}

TEST_F(DeviceHandleTest, FailedWriteLeavesTheLastErrorForTheCaller) {
    const auto device = PlugDevice();
    THidDeviceTestAccess::CheckOut(*device);
    Bus().FailNextWrite(lastPlugged, ERROR_GEN_FAILURE);
    const std::array<BYTE, 8> report{5, 0, 2};
    DWORD written = 0;
    EXPECT_FALSE(device->WriteReport(report.data(), report.size(), written));
    EXPECT_EQ(platform::Services().GetLastError(), ERROR_GEN_FAILURE);
}

// The driver's input buffer count is read back after each open and set again only once
// known; closing forgets it.
TEST_F(DeviceHandleTest, InputBufferCountIsReadAfterEachOpenAndSetOnlyOnceKnown) {
    const auto device = PlugDevice();
    THidDeviceTestAccess::CheckOut(*device);
    ASSERT_TRUE(device->OpenFileEx(DeviceKind::Read));
    EXPECT_EQ(Bus().CallCount("HidD_GetNumInputBuffers"), 1U);
    EXPECT_EQ(Bus().CallCount("HidD_SetNumInputBuffers"), 0U);
    device->CloseFileEx(DeviceKind::Read);
    ASSERT_TRUE(device->OpenFileEx(DeviceKind::Read));
    EXPECT_EQ(Bus().CallCount("HidD_SetNumInputBuffers"), 0U);

    ASSERT_TRUE(device->OpenFileEx(DeviceKind::Write));
    EXPECT_EQ(Bus().CallCount("HidD_GetNumInputBuffers"), 2U); // none for the write handle
    EXPECT_TRUE(device->OpenFile());
    EXPECT_EQ(Bus().CallCount("HidD_GetNumInputBuffers"), 3U);
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 3U);
    device->CloseFile();
    device->CloseFileEx(DeviceKind::Read);
    device->CloseFileEx(DeviceKind::Write);
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);
}

TEST_F(DeviceHandleTest, CancelOnAClosedHandleLoadsNothing) {
    const auto device = PlugDevice();
    THidDeviceTestAccess::CheckOut(*device);
    EXPECT_FALSE(device->CancelPendingIO(DeviceKind::Read));
    EXPECT_FALSE(device->CancelPendingIO(DeviceKind::Write));
    EXPECT_EQ(Bus().LoadCount("kernel32.dll"), 0U);
    EXPECT_EQ(Bus().CallCount("CancelIo"), 0U);
}

TEST_F(DeviceHandleTest, CancelLooksCancelIoUpAtEachCallAndReleasesKernel32) {
    const auto device = PlugDevice();
    THidDeviceTestAccess::CheckOut(*device);
    ASSERT_TRUE(device->OpenFileEx(DeviceKind::Read));
    ASSERT_TRUE(device->OpenFileEx(DeviceKind::Write));
    EXPECT_TRUE(device->CancelPendingIO(DeviceKind::Read));
    EXPECT_TRUE(device->CancelPendingIO(DeviceKind::Write));
    EXPECT_EQ(Bus().LoadCount("kernel32.dll"), 2U);
    EXPECT_EQ(Bus().ReleaseCount("kernel32.dll"), 2U);
    EXPECT_EQ(Bus().CallCount("CancelIo"), 2U);
    device->CloseFileEx(DeviceKind::Read);
    device->CloseFileEx(DeviceKind::Write);
}

TEST_F(DeviceHandleTest, CancelWithoutCancelIoFails) {
    const auto device = PlugDevice();
    THidDeviceTestAccess::CheckOut(*device);
    ASSERT_TRUE(device->OpenFileEx(DeviceKind::Read));
    Bus().RemoveExport("kernel32.dll", "CancelIo");
    EXPECT_FALSE(device->CancelPendingIO(DeviceKind::Read));
    EXPECT_EQ(Bus().ReleaseCount("kernel32.dll"), Bus().LoadCount("kernel32.dll"));
    device->CloseFileEx(DeviceKind::Read);
}

TEST_F(DeviceHandleTest, UnplugClosesEverythingAndRaisesOnUnplugOnce) {
    const auto device = PlugDevice();
    TDeviceEvents events;
    device->SetOnUnplug(events.OnUnplug());
    THidDeviceTestAccess::CheckOut(*device);
    ASSERT_TRUE(device->OpenFile());
    ASSERT_TRUE(device->OpenFileEx(DeviceKind::Read));
    ASSERT_TRUE(device->OpenFileEx(DeviceKind::Write));

    device->HandleUnplug();
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);
    EXPECT_FALSE(device->IsPluggedIn());
    EXPECT_FALSE(device->IsAccessible());
    EXPECT_THAT(events.unplugged, ElementsAre(device.get()));
    EXPECT_FALSE(device->OnUnplug().Assigned());

    device->HandleUnplug();
    EXPECT_EQ(events.unplugged.size(), 1U);
    EXPECT_FALSE(device->OpenFile());
    EXPECT_FALSE(device->OpenFileEx(DeviceKind::Read));
}

} // namespace
} // namespace hid::test
