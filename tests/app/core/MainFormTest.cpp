#include "FixedVersionServices.h"
#include "SimFormFixture.h"

#include <optional>
#include <string>

namespace apptest {
namespace {

using testing::ElementsAre;

class MainFormTest : public SimFormTest {
protected:
    TServicesInstallation services{std::make_unique<TFixedVersionServices>(6)};
};

TEST_F(MainFormTest, StartsInItsInitialState) {
    CreateForm();
    EXPECT_EQ(view.Caption, "ZEM VUZ Utility V1.0");
    EXPECT_EQ(form->Caption(), "ZEM VUZ Utility V1.0");
    EXPECT_EQ(form->FamilyName, "ZEM");
    EXPECT_EQ(form->AdapterName, "VUZ");
    EXPECT_FALSE(form->Closing);

    // The button keeps the state the layout gave it.
    EXPECT_EQ(View(), (TView{{}, Blue, {}, {}, false, true}));
    EXPECT_EQ(view.Panels[app::TimePanel], "");
    EXPECT_FALSE(form->CheckTargetTimer().Enabled());
    EXPECT_EQ(form->CheckTargetTimer().Interval(), 1000);
    EXPECT_EQ(form->CheckTargetTimer().Tag, 0);
    EXPECT_TRUE(DeviceList().empty());
    EXPECT_TRUE(Log().empty());
    EXPECT_FALSE(form->Connected());
    EXPECT_EQ(form->TargetDevice(), nullptr);
}

TEST_F(MainFormTest, LogLinesGoToTheViewInOrderAndToTheFollower) {
    CreateForm();
    TLines followed;
    form->OnLogLine = [&](const std::string& line) {
        // The view has the line when the follower hears of it.
        EXPECT_EQ(view.Log.back(), line);
        followed.push_back(line);
    };
    form->AppendLogLine({});
    form->AppendLogLine("Scanning...");
    form->AppendLogLine("VUZ Device is not found.");
    EXPECT_THAT(Log(), ElementsAre("", "Scanning...", "VUZ Device is not found."));
    EXPECT_EQ(view.LogSelection, 2);
    EXPECT_EQ(followed, Log());
}

TEST_F(MainFormTest, ExitSetsClosingAndClosesTheWindow) {
    CreateForm();
    form->ExitButtonClick(nullptr);
    EXPECT_TRUE(form->Closing);
    EXPECT_TRUE(view.Closed);
}

struct TSizeCase {
    std::optional<DWORD> major;
    int width;
    int height;
};

class MainFormSizeTest : public SimFormTest, public testing::WithParamInterface<TSizeCase> {};

TEST_P(MainFormSizeTest, GrowsBy8OnSystemsNewerThanMajorVersion5) {
    const TSizeCase& c = GetParam();
    TServicesInstallation services(std::make_unique<TFixedVersionServices>(c.major));
    CreateForm();
    EXPECT_EQ(form->Width(), c.width);
    EXPECT_EQ(form->Height(), c.height);
    EXPECT_EQ(view.Width, c.width);
    EXPECT_EQ(view.Height, c.height);
    form.reset(); // while its services are installed
}

INSTANTIATE_TEST_SUITE_P(Versions, MainFormSizeTest,
                         testing::Values(TSizeCase{4, 706, 105}, TSizeCase{5, 706, 105},
                                         TSizeCase{std::nullopt, 706, 105}, TSizeCase{6, 714, 113},
                                         TSizeCase{10, 714, 113}),
                         [](const testing::TestParamInfo<TSizeCase>& info) {
                             return info.param.major ? "Major" + std::to_string(*info.param.major)
                                                     : std::string("QueryFails");
                         });

} // namespace
} // namespace apptest
