#include "LinuxServicesFixture.h"

#include <cstring>
#include <gmock/gmock.h>
#include <string>
#include <vector>

namespace platform::linux_backend::testing {
namespace {

using ::testing::ElementsAre;

constexpr GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

struct TFound {
    std::string path;
    DWORD devInst;
    SP_DEVINFO_DATA info;
};

class Enumeration : public LinuxServicesTest {
protected:
    Enumeration() { set_ = INVALID_HANDLE_VALUE; }
    ~Enumeration() override { Release(); }

    void Release() {
        if (set_ != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(Linux().SetupDiDestroyDeviceInfoList(set_));
            set_ = INVALID_HANDLE_VALUE;
        }
    }

    // Enumerates as the controller does.
    std::vector<TFound> Enumerate() {
        Release();
        set_ = Linux().SetupDiGetClassDevsA(&kHidInterfaceGuid, nullptr, nullptr,
                                            DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        EXPECT_NE(set_, INVALID_HANDLE_VALUE);
        std::vector<TFound> found;
        for (DWORD i = 0;; ++i) {
            SP_DEVICE_INTERFACE_DATA interface {};
            interface.cbSize = sizeof interface;
            if (!Linux().SetupDiEnumDeviceInterfaces(set_, nullptr, &kHidInterfaceGuid, i,
                                                     &interface)) {
                EXPECT_EQ(Linux().GetLastError(), ERROR_NO_MORE_ITEMS);
                break;
            }
            SP_DEVINFO_DATA info{};
            info.cbSize = sizeof info;
            DWORD needed = 0;
            EXPECT_FALSE(Linux().SetupDiGetDeviceInterfaceDetailA(set_, &interface, nullptr, 0,
                                                                  &needed, &info));
            EXPECT_EQ(Linux().GetLastError(), ERROR_INSUFFICIENT_BUFFER);
            std::vector<std::uint64_t> block((needed + 7) / 8);
            auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            EXPECT_TRUE(Linux().SetupDiGetDeviceInterfaceDetailA(set_, &interface, detail, needed,
                                                                 &needed, &info));
            found.push_back({detail->DevicePath, info.DevInst, info});
        }
        return found;
    }

    std::string Text(const SP_DEVINFO_DATA& info, DWORD property) {
        BYTE buffer[1024];
        buffer[0] = 0;
        SP_DEVINFO_DATA copy = info;
        Linux().SetupDiGetDeviceRegistryPropertyA(set_, &copy, property, nullptr, buffer,
                                                  sizeof buffer, nullptr);
        return std::string(reinterpret_cast<const char*>(buffer),
                           strnlen(reinterpret_cast<const char*>(buffer), sizeof buffer));
    }

    std::vector<std::string> List(const SP_DEVINFO_DATA& info, DWORD property) {
        std::vector<BYTE> buffer(16384);
        SP_DEVINFO_DATA copy = info;
        Linux().SetupDiGetDeviceRegistryPropertyA(set_, &copy, property, nullptr, buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), nullptr);
        std::vector<std::string> texts;
        for (const char* at = reinterpret_cast<const char*>(buffer.data()); *at != 0;
             at += std::strlen(at) + 1) {
            texts.emplace_back(at);
        }
        return texts;
    }

    DWORD Number(const SP_DEVINFO_DATA& info, DWORD property) {
        DWORD value = 0;
        SP_DEVINFO_DATA copy = info;
        Linux().SetupDiGetDeviceRegistryPropertyA(
            set_, &copy, property, nullptr, reinterpret_cast<PBYTE>(&value), sizeof value, nullptr);
        return value;
    }

    HDEVINFO set_;
};

TEST_F(Enumeration, ListsEveryHidrawNodeByItsDevicePath) {
    TFakeDevice mouse;
    mouse.VendorID = 0x046D;
    mouse.ProductID = 0xC077;
    Tree().Plug(mouse, 0);
    Tree().Plug({}, 2);
    const std::vector<TFound> found = Enumerate();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, Tree().NodePath(0));
    EXPECT_EQ(found[1].path, Tree().NodePath(2));
    EXPECT_NE(found[0].devInst, found[1].devInst);
}

TEST_F(Enumeration, FindsNothingWithoutHidraw) {
    EXPECT_TRUE(Enumerate().empty());
}

TEST_F(Enumeration, KeepsInstanceNumbersWhileADeviceStaysAndGivesANewOneWhenItReturns) {
    const unsigned stays = Tree().Plug();
    const unsigned leaves = Tree().Plug();
    const std::vector<TFound> first = Enumerate();
    ASSERT_EQ(first.size(), 2u);

    Tree().Unplug(leaves);
    const std::vector<TFound> second = Enumerate();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].devInst, first[0].devInst);

    Tree().Plug({}, leaves);
    const std::vector<TFound> third = Enumerate();
    ASSERT_EQ(third.size(), 2u);
    EXPECT_EQ(third[0].devInst, first[0].devInst);
    EXPECT_NE(third[1].devInst, first[1].devInst);
    EXPECT_EQ(third[1].path, Tree().NodePath(leaves));
    (void)stays;
}

TEST_F(Enumeration, FillsTheRegistryPropertiesFromSysfs) {
    Tree().Plug({}, 4);
    const std::vector<TFound> found = Enumerate();
    ASSERT_EQ(found.size(), 1u);
    const SP_DEVINFO_DATA& info = found[0].info;
    EXPECT_THAT(List(info, 1),
                ElementsAre("HID\\VID_0416&PID_8249&REV_0100", "HID\\VID_0416&PID_8249"));
    EXPECT_EQ(Text(info, 7), "HIDClass");
    EXPECT_EQ(Text(info, 8), "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}");
    EXPECT_EQ(Text(info, 0), "ZEM VUZ Device");
    EXPECT_EQ(Text(info, 11), "ZEM");
    EXPECT_EQ(Text(info, 4), "hid-generic");
    EXPECT_EQ(Text(info, 9), "hid-generic");
    EXPECT_EQ(Text(info, 13), "usb-0000:00:14.0-1/input0");
    EXPECT_EQ(Text(info, 14), Tree().DevPath(4));
    EXPECT_EQ(Text(info, 22), "HID");
    EXPECT_EQ(Number(info, 21), 1u); // USB bus number
    EXPECT_EQ(Number(info, 16), 4u); // the node's number
    EXPECT_EQ(Text(info, 12), "");   // no friendly name on Linux
    EXPECT_THAT(List(info, 17), ElementsAre());
    EXPECT_EQ(Number(info, 25), 0u);
}

// The USB device's version and numbers: from its uevent where the kernel puts them, from the
// attribute files where a uevent lacks them.
TEST_F(Enumeration, TakesTheUsbNumbersFromTheUeventOrTheAttributeFiles) {
    for (const bool uevent : {true, false}) {
        SCOPED_TRACE(uevent ? "with the USB uevent" : "attribute files only");
        TFakeDevice device;
        device.Bcd = 0x12AB;
        device.UsbUevent = uevent;
        const unsigned node = Tree().Plug(device);
        const std::vector<TFound> found = Enumerate();
        ASSERT_EQ(found.size(), 1u);
        EXPECT_THAT(List(found[0].info, 1),
                    ElementsAre("HID\\VID_0416&PID_8249&REV_12AB", "HID\\VID_0416&PID_8249"));
        EXPECT_EQ(Number(found[0].info, 21), 1u); // the USB bus number
        EXPECT_NE(Number(found[0].info, 28), 0u); // the device's address on it
        const HANDLE handle = Open(node, 0);
        HIDD_ATTRIBUTES attributes{};
        EXPECT_TRUE(Linux().HidD_GetAttributes(handle, &attributes));
        EXPECT_EQ(attributes.VersionNumber, 0x12AB);
        Linux().CloseHandle(handle);
        Release();
        Tree().Unplug(node);
    }
}

TEST_F(Enumeration, ReportsAMissingPropertyAndATooSmallBufferAsThePlatformDoes) {
    Tree().Plug();
    const std::vector<TFound> found = Enumerate();
    ASSERT_EQ(found.size(), 1u);
    SP_DEVINFO_DATA info = found[0].info;
    BYTE buffer[4] = {0x55, 0x55, 0x55, 0x55};
    DWORD needed = 0;
    EXPECT_FALSE(Linux().SetupDiGetDeviceRegistryPropertyA(set_, &info, 12, nullptr, buffer,
                                                           sizeof buffer, &needed));
    EXPECT_EQ(Linux().GetLastError(), 13u);
    EXPECT_FALSE(Linux().SetupDiGetDeviceRegistryPropertyA(set_, &info, 1, nullptr, buffer,
                                                           sizeof buffer, &needed));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_GT(needed, sizeof buffer);
    EXPECT_EQ(buffer[0], 0x55);
}

TEST_F(Enumeration, RejectsRecordsOfTheWrongSizeAndUnknownSets) {
    Tree().Plug();
    Enumerate();
    SP_DEVICE_INTERFACE_DATA interface {};
    interface.cbSize = 28;
    EXPECT_FALSE(
        Linux().SetupDiEnumDeviceInterfaces(set_, nullptr, &kHidInterfaceGuid, 0, &interface));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_USER_BUFFER);
    const HDEVINFO bogus = reinterpret_cast<HDEVINFO>(0x1234);
    EXPECT_FALSE(Linux().SetupDiDestroyDeviceInfoList(bogus));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Enumeration, OffersBluetoothDevicesTooWithoutAUsbParent) {
    TFakeDevice keyboard;
    keyboard.Bus = 5;
    keyboard.VendorID = 0x05AC;
    keyboard.ProductID = 0x0256;
    keyboard.HidName = "Magic Keyboard";
    Tree().Plug(keyboard);
    const std::vector<TFound> found = Enumerate();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_THAT(List(found[0].info, 1),
                ElementsAre("HID\\VID_05AC&PID_0256&REV_0000", "HID\\VID_05AC&PID_0256"));
    EXPECT_EQ(Text(found[0].info, 11), "");
    EXPECT_EQ(Number(found[0].info, 21), 0u);
}

} // namespace
} // namespace platform::linux_backend::testing
