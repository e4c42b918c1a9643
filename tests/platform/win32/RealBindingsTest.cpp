#include "platform/Hid.h"
#include "platform/PlatformServices.h"
#include "platform/SetupApi.h"
#include "tests/platform/win32/MessageLoop.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

// Binds both system libraries for one test, as the controller does.
class RealBindings : public testing::Test {
protected:
    void SetUp() override {
        setupBound = platform::BindSetupApi();
        ASSERT_TRUE(setupBound);
        ASSERT_TRUE(platform::BindHid());
    }
    void TearDown() override {
        platform::ReleaseHid();
        if (setupBound) {
            platform::ReleaseSetupApi();
        }
        EXPECT_EQ(platform::SetupApiBindCount(), 0);
    }

    bool setupBound = false;
};

TEST_F(RealBindings, EveryEntryIsBound) {
    const auto& setup = platform::SetupApiEntries().Address;
    for (std::size_t i = 0; i < setup.size(); ++i) {
        EXPECT_NE(setup[i], nullptr) << platform::kSetupApiEntryNames[i].Entry;
    }
    const auto& hid = platform::HidEntries().Address;
    for (std::size_t i = 0; i < hid.size(); ++i) {
        EXPECT_NE(hid[i], nullptr) << platform::kHidEntryNames[i].Entry;
    }
    EXPECT_EQ(setup.size(), 396u);
    EXPECT_EQ(hid.size(), 42u);
}

TEST_F(RealBindings, GenericEntriesHoldTheAnsiFunctions) {
    const auto& setup = platform::SetupApiEntries();
    EXPECT_EQ(setup.Address[setup.kGetClassDevs],
              ::GetProcAddress(platform::SetupApiLibrary(), "SetupDiGetClassDevsA"));
    EXPECT_EQ(setup.Address[setup.kGetDeviceRegistryProperty],
              setup.Address[setup.kGetDeviceRegistryPropertyA]);
}

TEST_F(RealBindings, ReleaseClearsTheHidBinding) {
    const HMODULE hid = platform::HidLibrary();
    ASSERT_NE(hid, nullptr);
    platform::ReleaseHid();
    EXPECT_FALSE(platform::HidBound());
    EXPECT_TRUE(std::all_of(platform::HidEntries().Address.begin(),
                            platform::HidEntries().Address.end(),
                            [](FARPROC entry) { return entry == nullptr; }));
}

struct FoundDevice {
    std::string Path;
    DWORD DevInst = 0;
};

// The interface enumeration with the records of this build's size.
std::vector<FoundDevice> HidInterfaces() {
    const auto& setup = platform::SetupApiEntries();
    GUID hidGuid{};
    platform::HidEntries().HidD_GetHidGuid(&hidGuid);
    const HDEVINFO set = setup.SetupDiGetClassDevs(&hidGuid, nullptr, nullptr,
                                                   DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    std::vector<FoundDevice> found;
    if (set == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "no device information set, error " << ::GetLastError();
        return found;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof(interfaceData);
        if (!setup.SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, index, &interfaceData)) {
            EXPECT_EQ(::GetLastError(), DWORD{ERROR_NO_MORE_ITEMS});
            break;
        }
        DWORD required = 0;
        EXPECT_FALSE(setup.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0,
                                                            &required, nullptr));
        EXPECT_EQ(::GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
        EXPECT_GT(required, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
        std::vector<std::uint64_t> storage(required / sizeof(std::uint64_t) + 1);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof(device);
        EXPECT_TRUE(setup.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, required,
                                                           nullptr, &device))
            << "error " << ::GetLastError();
        found.push_back({detail->DevicePath, device.DevInst});
    }
    EXPECT_TRUE(setup.SetupDiDestroyDeviceInfoList(set));
    return found;
}

TEST_F(RealBindings, EnumeratesAndIdentifiesTheHidInterfaces) {
    // The records as the system's headers declare them for a 64-bit build.
    static_assert(sizeof(void*) != 8 || sizeof(SP_DEVICE_INTERFACE_DATA) == 32);
    static_assert(sizeof(void*) != 8 || sizeof(SP_DEVINFO_DATA) == 32);
    static_assert(sizeof(void*) != 8 || sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8);
    static_assert(sizeof(HIDD_ATTRIBUTES) == 12 && sizeof(HIDP_CAPS) == 64);

    const auto& hid = platform::HidEntries();
    auto& services = platform::Services();
    std::vector<std::pair<USHORT, USHORT>> ids;
    for (const FoundDevice& device : HidInterfaces()) {
        SCOPED_TRACE(device.Path);
        EXPECT_FALSE(device.Path.empty());
        const HANDLE handle =
            services.CreateFileA(device.Path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE) << "error " << services.GetLastError();
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof(attributes);
        EXPECT_TRUE(hid.HidD_GetAttributes(handle, &attributes));
        ids.emplace_back(attributes.VendorID, attributes.ProductID);

        PHIDP_PREPARSED_DATA preparsed = nullptr;
        if (hid.HidD_GetPreparsedData(handle, &preparsed)) {
            HIDP_CAPS caps{};
            EXPECT_EQ(hid.HidP_GetCaps(preparsed, &caps), HIDP_STATUS_SUCCESS);
            EXPECT_NE(caps.UsagePage, 0);
            EXPECT_TRUE(hid.HidD_FreePreparsedData(preparsed));
        } else {
            ADD_FAILURE() << "no preparsed data, error " << services.GetLastError();
        }
        EXPECT_TRUE(services.CloseHandle(handle));
    }
    if (win32_test::RunningUnderWine()) {
        // Wine's own virtual devices are always there.
        EXPECT_NE(std::find(ids.begin(), ids.end(), std::pair<USHORT, USHORT>{0x845E, 1}),
                  ids.end());
        EXPECT_NE(std::find(ids.begin(), ids.end(), std::pair<USHORT, USHORT>{0x845E, 2}),
                  ids.end());
    }
}

} // namespace
