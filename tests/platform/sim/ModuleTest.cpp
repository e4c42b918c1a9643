#include "platform/HidExports.h"
#include "platform/SetupApiExports.h"
#include "tests/platform/sim/SimBusFixture.h"
#include "tests/platform/sim/SimModules.h"

#include <string>

namespace platform::sim::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class ModuleTest : public SimBusTest {};

TEST_F(ModuleTest, EachLoadTakesAReferenceAndTheModuleStaysUntilTheLast) {
    const HMODULE first = Bus().LoadLibraryA("HID.dll");
    const HMODULE second = Bus().LoadLibraryA("hid.DLL");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(second, first);
    EXPECT_EQ(Bus().ReferenceCount(kHidModule), 2);

    EXPECT_TRUE(Bus().FreeLibrary(first));
    EXPECT_NE(Bus().GetProcAddress(first, "HidD_GetAttributes"), nullptr);
    EXPECT_TRUE(Bus().FreeLibrary(first));
    EXPECT_EQ(Bus().ReferenceCount(kHidModule), 0);
    EXPECT_EQ(Bus().LoadCount(kHidModule), 2u);
    EXPECT_EQ(Bus().ReleaseCount(kHidModule), 2u);

    // A stale handle finds nothing, and a reload is a new module handle.
    EXPECT_EQ(Bus().GetProcAddress(first, "HidD_GetAttributes"), nullptr);
    EXPECT_EQ(Bus().GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_THAT(TakeViolations(), ElementsAre(HasSubstr("used after its release")));
    const HMODULE reloaded = Bus().LoadLibraryA("HID.dll");
    EXPECT_NE(reloaded, first);
    Bus().FreeLibrary(reloaded);
}

TEST_F(ModuleTest, ReleasingMoreThanLoadedIsMisuse) {
    const HMODULE module = Bus().LoadLibraryA("SetupApi.dll");
    EXPECT_TRUE(Bus().FreeLibrary(module));
    EXPECT_FALSE(Bus().FreeLibrary(module));
    EXPECT_THAT(TakeViolations(), ElementsAre(HasSubstr("FreeLibrary")));
}

TEST_F(ModuleTest, UnknownAndRemovedModulesAreNotFound) {
    EXPECT_EQ(Bus().LoadLibraryA("user32.dll"), nullptr);
    EXPECT_EQ(Bus().GetLastError(), ERROR_MOD_NOT_FOUND);

    Bus().RemoveModule("setupapi.dll");
    EXPECT_EQ(Bus().LoadLibraryA("SetupApi.dll"), nullptr);
    EXPECT_EQ(Bus().GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(Bus().LoadCount(kSetupApiModule), 0u);
}

TEST_F(ModuleTest, RemovedExportIsNotFoundAndTheOthersStay) {
    Bus().RemoveExport(kHidModule, "HidD_Hello");
    TSimModules modules(Bus());
    EXPECT_EQ(Bus().GetProcAddress(modules.Hid(), "HidD_Hello"), nullptr);
    EXPECT_EQ(Bus().GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_NE(Bus().GetProcAddress(modules.Hid(), "HidD_GetHidGuid"), nullptr);
    // Export names are case-sensitive.
    EXPECT_EQ(Bus().GetProcAddress(modules.Hid(), "hidd_gethidguid"), nullptr);
}

TEST_F(ModuleTest, EveryExportTheBindingsLookUpIsThere) {
    TSimModules modules(Bus());
    for (const char* name : SetupApiExportNames()) {
        EXPECT_NE(Bus().GetProcAddress(modules.Setup(), name), nullptr) << name;
    }
    for (const char* name : HidExportNames()) {
        EXPECT_NE(Bus().GetProcAddress(modules.Hid(), name), nullptr) << name;
    }
    EXPECT_NE(modules.CancelIo, nullptr);
}

TEST_F(ModuleTest, ExportsTheProgramDoesNotCallFailAsNotImplemented) {
    TSimModules modules(Bus());
    for (const char* name : {"SetupDiGetClassDevsExW", "SetupOpenInfFileA"}) {
        const FARPROC proc = Bus().GetProcAddress(modules.Setup(), name);
        Bus().SetLastError(0);
        EXPECT_EQ(proc(), 0) << name;
        EXPECT_EQ(Bus().GetLastError(), ERROR_CALL_NOT_IMPLEMENTED) << name;
        EXPECT_EQ(Bus().CallCount(name), 1u) << name;
    }
    const FARPROC flush = Bus().GetProcAddress(modules.Hid(), "HidD_FlushQueue");
    EXPECT_EQ(flush(), 0);
    EXPECT_EQ(Bus().GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(Bus().CallCount("HidD_FlushQueue"), 1u);
}

TEST_F(ModuleTest, CallsAreCountedPerFunctionForServicesAndExports) {
    {
        TSimModules modules(Bus());
        GUID guid{};
        modules.GetHidGuid(&guid);
        modules.GetHidGuid(&guid);
    }
    EXPECT_EQ(Bus().CallCount("HidD_GetHidGuid"), 2u);
    EXPECT_EQ(Bus().CallCount("LoadLibraryA"), 3u);
    EXPECT_EQ(Bus().CallCount("FreeLibrary"), 3u);
    EXPECT_EQ(Bus().CallCount("CreateFileA"), 0u);
    EXPECT_EQ(Bus().OpenHandleCount(), 0u);

    Bus().ResetCallCounts();
    EXPECT_EQ(Bus().TotalCallCount(), 0u);
    EXPECT_THAT(Bus().CallLog(), ::testing::IsEmpty());
}

TEST_F(ModuleTest, HidCallAfterTheModuleWasReleasedIsReported) {
    const HMODULE hid = Bus().LoadLibraryA("HID.dll");
    const auto getGuid = ExportOf<PFN_HidD_GetHidGuid>(Bus(), hid, "HidD_GetHidGuid");
    Bus().FreeLibrary(hid);

    GUID guid{};
    getGuid(&guid);
    EXPECT_THAT(TakeViolations(),
                ElementsAre(HasSubstr("HidD_GetHidGuid: called while HID.dll is not loaded")));
}

TEST_F(ModuleTest, SetupCallAfterTheModuleWasReleasedIsReported) {
    const HMODULE setup = Bus().LoadLibraryA("SetupApi.dll");
    const auto destroy =
        ExportOf<PFN_SetupDiDestroyDeviceInfoList>(Bus(), setup, "SetupDiDestroyDeviceInfoList");
    const FARPROC stub = Bus().GetProcAddress(setup, "SetupOpenInfFileA");
    Bus().FreeLibrary(setup);

    stub();
    destroy(nullptr);
    const auto violations = TakeViolations();
    EXPECT_THAT(violations, ::testing::Contains(HasSubstr("SetupOpenInfFileA: called while")));
    EXPECT_THAT(violations,
                ::testing::Contains(HasSubstr("SetupDiDestroyDeviceInfoList: called while")));
}

TEST_F(ModuleTest, Kernel32StaysMappedSoCancelIoIsNeverAStaleCall) {
    const HMODULE kernel32 = Bus().LoadLibraryA("KERNEL32.DLL");
    const auto cancel = ExportOf<TSimModules::PFN_CancelIo>(Bus(), kernel32, "CancelIo");
    Bus().FreeLibrary(kernel32);
    EXPECT_EQ(Bus().ReferenceCount(kKernel32Module), 0);

    const HANDLE device =
        OpenDevice(Bus(), Bus().DevicePath(Bus().Plug(TSimDeviceConfig{}, TBroadcast::No)));
    EXPECT_TRUE(cancel(device));
    Bus().CloseHandle(device);
}

TEST_F(ModuleTest, ModuleReferencesStillHeldShowAsLeaks) {
    const HMODULE hid = Bus().LoadLibraryA("HID.dll");
    EXPECT_THAT(Bus().Leaks(), ElementsAre(HasSubstr("HID.dll holds 1 reference")));
    Bus().FreeLibrary(hid);
    ExpectNoLeaks();
}

} // namespace
} // namespace platform::sim::testing
