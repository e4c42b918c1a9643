#include "BindingFakeServices.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using bindingtest::BindingTest;

constexpr const char* kFile = "SetupApi.dll";

bool AllNull() {
    for (FARPROC address : platform::SetupApiEntries().Address) {
        if (address != nullptr) {
            return false;
        }
    }
    return true;
}

TEST_F(BindingTest, SetupApiIsGivenUpByTheLastUsersRelease) {
    ASSERT_TRUE(platform::BindSetupApi());
    const auto bound = platform::SetupApiEntries().Address;
    ASSERT_TRUE(platform::BindSetupApi());
    EXPECT_EQ(platform::SetupApiBindCount(), 2);
    // The second user only counts.
    EXPECT_EQ(fake->LoadCalls, 1);
    EXPECT_EQ(fake->LookUpCalls, static_cast<int>(platform::SetupApiEntryCount));

    platform::ReleaseSetupApi();
    EXPECT_EQ(platform::SetupApiBindCount(), 1);
    EXPECT_EQ(fake->FreeCalls, 0);
    EXPECT_NE(platform::SetupApiLibrary(), nullptr);
    EXPECT_EQ(platform::SetupApiEntries().Address, bound);

    platform::ReleaseSetupApi();
    EXPECT_EQ(platform::SetupApiBindCount(), 0);
    EXPECT_EQ(fake->FreeCalls, 1);
    EXPECT_EQ(fake->References(kFile), 0);
    EXPECT_EQ(platform::SetupApiLibrary(), nullptr);
    EXPECT_TRUE(AllNull());
}

TEST_F(BindingTest, SetupApiFailedBindIsNotCounted) {
    fake->RemoveExport(kFile, "SetupDiDestroyDeviceInfoList");
    EXPECT_FALSE(platform::BindSetupApi());
    EXPECT_FALSE(platform::BindSetupApi());
    EXPECT_EQ(platform::SetupApiBindCount(), 0);
    EXPECT_EQ(fake->LoadCalls, 2);
    EXPECT_EQ(fake->References(kFile), 0);
}

// An unmatched release must not let a later user's binding be given up by another user.
TEST_F(BindingTest, SetupApiReleaseWithoutABindChangesNothing) {
    platform::ReleaseSetupApi();
    EXPECT_EQ(platform::SetupApiBindCount(), 0);
    EXPECT_EQ(fake->FreeCalls, 0);

    ASSERT_TRUE(platform::BindSetupApi());
    ASSERT_TRUE(platform::BindSetupApi());
    platform::ReleaseSetupApi();
    EXPECT_NE(platform::SetupApiLibrary(), nullptr);
    EXPECT_FALSE(AllNull());
}

// Fakes of the functions the program calls; each notes the export it stands for.
std::vector<std::string> calls;
const HDEVINFO kSet = reinterpret_cast<HDEVINFO>(std::uintptr_t{0x5E7});

HDEVINFO GetClassDevsA(const GUID*, LPCSTR, HWND, DWORD flags) {
    calls.push_back("SetupDiGetClassDevsA " + std::to_string(flags));
    return kSet;
}
HDEVINFO GetClassDevsW(const GUID*, LPCSTR, HWND, DWORD) {
    calls.emplace_back("SetupDiGetClassDevsW");
    return nullptr;
}
BOOL EnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                          PSP_DEVICE_INTERFACE_DATA) {
    calls.push_back("SetupDiEnumDeviceInterfaces " + std::to_string(index));
    return set == kSet ? TRUE : FALSE;
}
BOOL GetDeviceInterfaceDetailA(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                               PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD size, PDWORD required,
                               PSP_DEVINFO_DATA) {
    calls.push_back("SetupDiGetDeviceInterfaceDetailA " + std::to_string(size));
    *required = 42;
    return FALSE;
}
BOOL DestroyDeviceInfoList(HDEVINFO set) {
    calls.emplace_back("SetupDiDestroyDeviceInfoList");
    return set == kSet ? TRUE : FALSE;
}
BOOL GetDeviceRegistryPropertyA(HDEVINFO, PSP_DEVINFO_DATA, DWORD property, PDWORD, PBYTE, DWORD,
                                PDWORD) {
    calls.push_back("SetupDiGetDeviceRegistryPropertyA " + std::to_string(property));
    return TRUE;
}
BOOL GetDeviceRegistryPropertyW(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE, DWORD, PDWORD) {
    calls.emplace_back("SetupDiGetDeviceRegistryPropertyW");
    return FALSE;
}

TEST_F(BindingTest, SetupApiCallsReachTheirExports) {
    using platform::ToFarProc;
    fake->SetExport(kFile, "SetupDiGetClassDevsA", ToFarProc(&GetClassDevsA));
    fake->SetExport(kFile, "SetupDiGetClassDevsW", ToFarProc(&GetClassDevsW));
    fake->SetExport(kFile, "SetupDiEnumDeviceInterfaces", ToFarProc(&EnumDeviceInterfaces));
    fake->SetExport(kFile, "SetupDiGetDeviceInterfaceDetailA",
                    ToFarProc(&GetDeviceInterfaceDetailA));
    fake->SetExport(kFile, "SetupDiDestroyDeviceInfoList", ToFarProc(&DestroyDeviceInfoList));
    fake->SetExport(kFile, "SetupDiGetDeviceRegistryPropertyA",
                    ToFarProc(&GetDeviceRegistryPropertyA));
    fake->SetExport(kFile, "SetupDiGetDeviceRegistryPropertyW",
                    ToFarProc(&GetDeviceRegistryPropertyW));
    ASSERT_TRUE(platform::BindSetupApi());
    calls.clear();

    const platform::TSetupApiEntries& setup = platform::SetupApiEntries();
    const GUID guid{};
    const HDEVINFO set =
        setup.SetupDiGetClassDevs(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_EQ(set, kSet);
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    EXPECT_TRUE(setup.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 3, &interfaceData));
    DWORD required = 0;
    EXPECT_FALSE(setup.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &required,
                                                        nullptr));
    EXPECT_EQ(required, 42u);
    EXPECT_TRUE(
        setup.SetupDiGetDeviceRegistryPropertyA(set, nullptr, 12, nullptr, nullptr, 0, nullptr));
    EXPECT_TRUE(
        setup.SetupDiGetDeviceRegistryProperty(set, nullptr, 13, nullptr, nullptr, 0, nullptr));
    EXPECT_TRUE(setup.SetupDiDestroyDeviceInfoList(set));

    EXPECT_EQ(calls,
              (std::vector<std::string>{
                  "SetupDiGetClassDevsA 18", "SetupDiEnumDeviceInterfaces 3",
                  "SetupDiGetDeviceInterfaceDetailA 0", "SetupDiGetDeviceRegistryPropertyA 12",
                  "SetupDiGetDeviceRegistryPropertyA 13", "SetupDiDestroyDeviceInfoList"}));
}

TEST_F(BindingTest, SetupApiCallsWhileUnboundFailWithoutACall) {
    const platform::TSetupApiEntries& setup = platform::SetupApiEntries();
    const GUID guid{};
    fake->SetLastError(0);
    EXPECT_EQ(setup.SetupDiGetClassDevs(&guid, nullptr, nullptr, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(fake->GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    EXPECT_FALSE(setup.SetupDiEnumDeviceInterfaces(nullptr, nullptr, &guid, 0, &interfaceData));
    DWORD required = 0;
    EXPECT_FALSE(setup.SetupDiGetDeviceInterfaceDetailA(nullptr, &interfaceData, nullptr, 0,
                                                        &required, nullptr));
    EXPECT_FALSE(
        setup.SetupDiGetDeviceRegistryPropertyA(nullptr, nullptr, 0, nullptr, nullptr, 0, nullptr));
    EXPECT_FALSE(
        setup.SetupDiGetDeviceRegistryProperty(nullptr, nullptr, 0, nullptr, nullptr, 0, nullptr));
    EXPECT_FALSE(setup.SetupDiDestroyDeviceInfoList(nullptr));
    EXPECT_EQ(fake->GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
}

} // namespace
