// The window on the Linux backend finds an adapter that is there when it starts, whatever
// device events the kernel sends before the window starts detecting, and whether detection
// starts at an activation or at the showing of a window that is never activated.
#ifdef VUZ_HAVE_APP_CORE

#include "LinuxServicesFixture.h"
#include "app/core/MainForm.h"
#include "runtime/MainThreadQueue.h"
#include "runtime/Pump.h"
#include "tests/app/core/RecordingView.h"

#include <chrono>
#include <functional>
#include <gmock/gmock.h>
#include <memory>
#include <ostream>
#include <vector>

namespace platform::linux_backend::testing {
namespace {

class WindowStartOnLinux;

struct TLinuxStartCase {
    const char* name;
    // What happens between the window's construction and the start of detection.
    std::function<void(WindowStartOnLinux& test)> before;
    bool showOnly = false;
};

void PrintTo(const TLinuxStartCase& c, std::ostream* out) {
    *out << c.name;
}

class WindowStartOnLinux : public LinuxServicesTest,
                           public ::testing::WithParamInterface<TLinuxStartCase> {
public:
    WindowStartOnLinux() { runtime::SetMainThread(); }
    using LinuxServicesTest::Tree;

    ~WindowStartOnLinux() override {
        form.reset();
        runtime::PumpPending();
        if (probe != nullptr) {
            Linux().DestroyWindow(probe);
        }
    }

    // Sends a kernel event and lets the window handle the notification it becomes.
    void Event(const std::string& action, const std::string& devPath) {
        const std::size_t seen = notifications;
        SendEvent(action, devPath);
        ASSERT_TRUE(
            runtime::PumpUntil([&] { return notifications > seen; }, std::chrono::seconds(5)));
        runtime::PumpPending();
    }

    // Lets the controller's first, forced notification arrive.
    void FirstNotification() {
        ASSERT_TRUE(runtime::PumpUntil([&] { return form->HidCtl().ChangeParam() == -1; },
                                       std::chrono::seconds(5)));
    }

    void Tick(int count) {
        for (int i = 0; i < count; ++i) {
            form->CheckTargetTimer().Tick();
        }
    }

    void Start() {
        // Counts the notifications the backend broadcasts; the controller's window gets each
        // one at the same time.
        probe = Linux().CreateNotifyWindow([this](UINT message, WPARAM, LPARAM) {
            notifications += message == WM_DEVICECHANGE ? 1 : 0;
            return LRESULT{0};
        });
        form = std::make_unique<app::TMainForm>(view, std::make_unique<app::TManualTimer>());
    }

    unsigned adapter = 0;
    apptest::TRecordingView view;
    std::unique_ptr<app::TMainForm> form;
    HWND probe = nullptr;
    std::size_t notifications = 0;
};

TEST_P(WindowStartOnLinux, TheAdapterPresentAtStartIsFound) {
    const TLinuxStartCase& c = GetParam();
    adapter = Tree().Plug();
    Start();
    c.before(*this);
    if (c.showOnly) {
        form->FormShow(nullptr);
    } else {
        form->FormActivate(nullptr);
    }
    runtime::PumpPending();

    Tick(app::TMainForm::CountdownTicks);
    EXPECT_EQ(view.StatusText, "ZEM VUZ A1B2C3 is connected.");
    EXPECT_TRUE(form->Connected());
    EXPECT_THAT(view.Log, ::testing::Not(::testing::Contains("VUZ Device is not found.")));

    // "Program" reaches the adapter's node.
    form->InProgButtonClick(nullptr);
    EXPECT_EQ(Tree().Drain(adapter, 8),
              (std::vector<std::uint8_t>{0x05, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

INSTANTIATE_TEST_SUITE_P(
    Orders, WindowStartOnLinux,
    ::testing::Values(TLinuxStartCase{"NothingElse",
                                      [](WindowStartOnLinux& t) {
                                          t.FirstNotification();
                                      }},
                      TLinuxStartCase{
                          "AnEventForANodeAlreadyGone",
                          [](WindowStartOnLinux& t) {
                              t.FirstNotification();
                              t.Event("add",
                                      "/devices/virtual/misc/uhid/0003:1234:5678.00FF/hidraw/"
                                      "hidraw9");
                          }},
                      TLinuxStartCase{"TheAdaptersOwnAddEvent",
                                      [](WindowStartOnLinux& t) {
                                          t.FirstNotification();
                                          t.Event("add", t.Tree().DevPath(t.adapter));
                                      }},
                      TLinuxStartCase{"AnotherDeviceArrivesAndLeaves",
                                      [](WindowStartOnLinux& t) {
                                          t.FirstNotification();
                                          TFakeDevice keyboard;
                                          keyboard.VendorID = 0x046D;
                                          keyboard.ProductID = 0xC31C;
                                          keyboard.Descriptor = BootKeyboardDescriptor();
                                          const unsigned other = t.Tree().Plug(keyboard);
                                          const std::string devPath = t.Tree().DevPath(other);
                                          t.Event("add", devPath);
                                          t.Tree().Unplug(other);
                                          t.Event("remove", devPath);
                                      }},
                      TLinuxStartCase{"DetectingAfterTheCountdownRanOut",
                                      [](WindowStartOnLinux& t) {
                                          t.FirstNotification();
                                          t.Tick(app::TMainForm::CountdownTicks);
                                      }},
                      TLinuxStartCase{"ShownNeverActivated", [](WindowStartOnLinux&) {}, true},
                      TLinuxStartCase{"ShownNeverActivatedAfterTheAdaptersAddEvent",
                                      [](WindowStartOnLinux& t) {
                                          t.FirstNotification();
                                          t.Event("add", t.Tree().DevPath(t.adapter));
                                      },
                                      true}),
    [](const ::testing::TestParamInfo<TLinuxStartCase>& info) { return info.param.name; });

} // namespace
} // namespace platform::linux_backend::testing

#endif
