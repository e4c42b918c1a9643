// The bindings bind completely against the simulated modules and call through them.
#include "platform/Hid.h"
#include "platform/SetupApi.h"
#include "tests/platform/sim/SimBusFixture.h"

namespace platform::sim::testing {
namespace {

class BindingOnSimTest : public SimBusTest {};

TEST_F(BindingOnSimTest, BothBindingsBindAndTheirCallsReachTheBus) {
    ASSERT_TRUE(BindSetupApi());
    ASSERT_TRUE(BindHid());
    GUID guid{};
    HidEntries().HidD_GetHidGuid(&guid);
    EXPECT_EQ(guid.Data1, 0x4D1E55B2u);
    EXPECT_EQ(Bus().CallCount("HidD_GetHidGuid"), 1u);
    ReleaseHid();
    ReleaseSetupApi();
    ExpectNoLeaks();
}

TEST_F(BindingOnSimTest, BindingFailsWhenTheBusLacksAnExport) {
    Bus().RemoveExport(kHidModule, "HidP_TranslateUsagesToI8042ScanCodes");
    EXPECT_FALSE(BindHid());
    EXPECT_EQ(Bus().ReferenceCount(kHidModule), 0);
}

} // namespace
} // namespace platform::sim::testing
