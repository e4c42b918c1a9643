#include "LinuxServicesFixture.h"
#include "platform/Hid.h"
#include "platform/HidExports.h"
#include "platform/SetupApi.h"
#include "platform/SetupApiExports.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace platform::linux_backend::testing {
namespace {

class Modules : public LinuxServicesTest {};

TEST_F(Modules, OfferEveryExportTheBindingsLookUp) {
    const HMODULE setup = Linux().LoadLibraryA("SetupApi.dll");
    const HMODULE hid = Linux().LoadLibraryA("HID.dll");
    ASSERT_NE(setup, nullptr);
    ASSERT_NE(hid, nullptr);
    for (const char* name : SetupApiExportNames()) {
        EXPECT_NE(Linux().GetProcAddress(setup, name), nullptr) << name;
    }
    for (const char* name : HidExportNames()) {
        EXPECT_NE(Linux().GetProcAddress(hid, name), nullptr) << name;
    }
    EXPECT_TRUE(Linux().FreeLibrary(hid));
    EXPECT_TRUE(Linux().FreeLibrary(setup));
}

TEST_F(Modules, FailTheCallsThisProgramNeverMakesAsNotImplemented) {
    const HMODULE hid = Linux().LoadLibraryA("hid");
    ASSERT_NE(hid, nullptr);
    using Stub = std::intptr_t (*)();
    const auto stub = reinterpret_cast<Stub>(Linux().GetProcAddress(hid, "HidD_FlushQueue"));
    ASSERT_NE(stub, nullptr);
    Linux().SetLastError(0);
    EXPECT_EQ(stub(), 0);
    EXPECT_EQ(Linux().GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
    Linux().FreeLibrary(hid);
}

struct LoadCase {
    const char* name;
    bool found;
};

void PrintTo(const LoadCase& c, std::ostream* out) {
    *out << c.name;
}

class ModuleNames : public LinuxServicesTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(ModuleNames, AreFoundByFileNameWithoutRegardToCase) {
    const HMODULE module = Linux().LoadLibraryA(GetParam().name);
    EXPECT_EQ(module != nullptr, GetParam().found);
    if (module != nullptr) {
        EXPECT_TRUE(Linux().FreeLibrary(module));
    } else {
        EXPECT_EQ(Linux().GetLastError(), ERROR_MOD_NOT_FOUND);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, ModuleNames,
    ::testing::Values(LoadCase{"SetupApi.dll", true}, LoadCase{"SETUPAPI.DLL", true},
                      LoadCase{"setupapi", true}, LoadCase{"C:\\Windows\\System32\\hid.dll", true},
                      LoadCase{"kernel32.dll", true}, LoadCase{"user32.dll", false},
                      LoadCase{"hid.so", false}));

TEST_F(Modules, LookUpFailsForUnknownNamesOrdinalsAndReleasedModules) {
    const HMODULE hid = Linux().LoadLibraryA("HID.dll");
    EXPECT_EQ(Linux().GetProcAddress(hid, "HidD_NoSuchCall"), nullptr);
    EXPECT_EQ(Linux().GetProcAddress(hid, reinterpret_cast<LPCSTR>(std::uintptr_t{7})), nullptr);
    EXPECT_EQ(Linux().GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(Linux().FreeLibrary(hid));
    EXPECT_EQ(Linux().GetProcAddress(hid, "HidD_GetAttributes"), nullptr);
    EXPECT_EQ(Linux().GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(Linux().FreeLibrary(hid));
    EXPECT_EQ(Linux().GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(Modules, Kernel32OffersCancelIo) {
    const HMODULE kernel32 = Linux().LoadLibraryA("kernel32.dll");
    using CancelIo = BOOL (*)(HANDLE);
    const auto cancel = FromFarProc<CancelIo>(Linux().GetProcAddress(kernel32, "CancelIo"));
    ASSERT_NE(cancel, nullptr);
    const unsigned node = Tree().Plug();
    const HANDLE handle = Open(node, GENERIC_READ, FILE_FLAG_OVERLAPPED);
    EXPECT_TRUE(cancel(handle));
    Linux().CloseHandle(handle);
    EXPECT_FALSE(cancel(handle));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_HANDLE);
    Linux().FreeLibrary(kernel32);
}

// The program's bindings bind completely and their calls reach the Linux services.
TEST_F(Modules, BindingsBindAndEnumerateTheFakeTree) {
    Tree().Plug();
    ASSERT_TRUE(BindSetupApi());
    ASSERT_TRUE(BindHid());
    GUID guid{};
    HidEntries().HidD_GetHidGuid(&guid);
    EXPECT_EQ(guid.Data1, 0x4D1E55B2u);
    const HDEVINFO set = SetupApiEntries().SetupDiGetClassDevs(
        &guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA interface {};
    interface.cbSize = sizeof interface;
    EXPECT_TRUE(SetupApiEntries().SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &interface));
    EXPECT_FALSE(SetupApiEntries().SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 1, &interface));
    EXPECT_TRUE(SetupApiEntries().SetupDiDestroyDeviceInfoList(set));
    ReleaseHid();
    ReleaseSetupApi();
    EXPECT_EQ(Linux().DeviceSetCount(), 0u);
}

} // namespace
} // namespace platform::linux_backend::testing
