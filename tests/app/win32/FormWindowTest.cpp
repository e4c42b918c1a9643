#include "WindowFixture.h"
#include "app/core/Rgb.h"
#include "app/win32/Layout.h"
#include "app/win32/MessageLoop.h"
#include "app/win32/SystemMetrics.h"
#include "runtime/MainThreadQueue.h"
#include "runtime/Pump.h"

#include <atomic>
#include <gmock/gmock.h>
#include <string>
#include <thread>
#include <vector>

namespace win32view_test {
namespace {

using namespace app::win32;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

struct TExpectedControl {
    const char* Name;
    int Id;
    const wchar_t* ClassName;
    RECT Rect; // client coordinates at 96 DPI
    bool Visible;
};

void PrintTo(const TExpectedControl& control, std::ostream* out) {
    *out << control.Name;
}

// The layout's table; the status label starts empty, so only its corner is given.
const TExpectedControl LayoutTable[] = {
    {"DevListBox", DevListBoxId, L"ListBox", {65, 77, 385, 89}, false},
    {"HistoryListBox", HistoryListBoxId, L"ListBox", {9, 56, 657, 73}, false},
    {"ConnectBallImage", ConnectBallImageId, L"Static", {15, 10, 47, 42}, true},
    {"Green_Image", Green_ImageId, L"Static", {419, 11, 451, 43}, false},
    {"Gray_Image", Gray_ImageId, L"Static", {453, 11, 485, 43}, false},
    {"ExitButton", ExitButtonId, L"Button", {557, 17, 646, 42}, true},
    {"InProgButton", InProgButtonId, L"Button", {460, 17, 550, 42}, true},
    // Along the bottom edge of the 706 x 79 client area of a system newer than major 5.
    {"ProgStatusBar", ProgStatusBarId, L"msctls_statusbar32", {0, 57, 706, 79}, true},
};

class WindowLayout : public TWindowFixture, public testing::WithParamInterface<TExpectedControl> {};

TEST_P(WindowLayout, ControlSitsWhereTheTableSays) {
    if (WindowDpi(view->Window()) != DesignDpi) {
        GTEST_SKIP() << "the table is in 96-DPI pixels";
    }
    const TExpectedControl& expected = GetParam();
    const HWND control = Control(expected.Id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(::lstrcmpiW(ClassOf(control).c_str(), expected.ClassName), 0);
    const RECT rect = ChildRect(control);
    EXPECT_EQ(rect.left, expected.Rect.left);
    EXPECT_EQ(rect.top, expected.Rect.top);
    EXPECT_EQ(rect.right, expected.Rect.right);
    EXPECT_EQ(rect.bottom, expected.Rect.bottom);
    EXPECT_EQ(::IsWindowVisible(control) != FALSE, expected.Visible);
}

INSTANTIATE_TEST_SUITE_P(Table, WindowLayout, testing::ValuesIn(LayoutTable),
                         [](const auto& info) { return std::string(info.param.Name); });

using FormWindow = TWindowFixture;

TEST_F(FormWindow, IsTitledCentredAndSizedFromItsClientArea) {
    wchar_t title[64] = {};
    ::GetWindowTextW(view->Window(), title, 64);
    EXPECT_STREQ(title, L"ZEM VUZ Utility V1.0");

    RECT client{};
    ::GetClientRect(view->Window(), &client);
    const UINT dpi = WindowDpi(view->Window());
    EXPECT_EQ(client.right, Scaled(714 - NominalFrameWidth, dpi));
    EXPECT_EQ(client.bottom, Scaled(113 - NominalFrameHeight, dpi));

    RECT outer{};
    ::GetWindowRect(view->Window(), &outer);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(view->Window(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR(outer.left + outer.right, monitor.rcWork.left + monitor.rcWork.right, 1);
    EXPECT_NEAR(outer.top + outer.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);
}

TEST_F(FormWindow, ShowsTheStatusLineInItsColourAndTheBallItStands) {
    if (!ScreenIsReal()) {
        GTEST_SKIP() << NoScreenReason;
    }
    const HWND label = Control(StatusLabelId);
    const HWND ball = Control(ConnectBallImageId);
    {
        const TRendering start(view->Window());
        const RECT ballRect = ChildRect(ball);
        const COLORREF centre =
            start.Pixel((ballRect.left + ballRect.right) / 2, (ballRect.top + ballRect.bottom) / 2);
        EXPECT_NEAR(GetRValue(centre), GetGValue(centre), 8) << "grey ball";
    }

    PlugAdapterAndSettle();
    ASSERT_EQ(form->StatusText(), "ZEM VUZ SER42 is connected.");
    const TRendering connected(view->Window());
    const RECT labelRect = ChildRect(label);
    EXPECT_GT(labelRect.right - labelRect.left, 100) << "sized to its text";
    EXPECT_GT(connected.Count(labelRect, RGB(0, 0, 255)), 50) << "blue text";
    EXPECT_EQ(connected.Count(labelRect, RGB(255, 0, 0)), 0);
    const RECT ballRect = ChildRect(ball);
    const COLORREF centre =
        connected.Pixel((ballRect.left + ballRect.right) / 2, (ballRect.top + ballRect.bottom) / 2);
    EXPECT_GT(GetGValue(centre), GetRValue(centre) + 60) << "green ball";
    EXPECT_GT(GetGValue(centre), GetBValue(centre) + 60) << "green ball";
}

TEST_F(FormWindow, ShowsNotFoundInRedAfterTheCountdown) {
    if (!ScreenIsReal()) {
        GTEST_SKIP() << NoScreenReason;
    }
    platform::sim::TSimDeviceConfig other;
    other.VendorID = 0x845E;
    other.ProductID = 0x0001;
    sim.Bus().Plug(other);
    PumpUntil([this] { return form->StatusText() == "Scanning..."; });
    for (int tick = 0; tick < app::TMainForm::CountdownTicks; ++tick) {
        form->CheckTargetTimer().Tick();
    }
    ASSERT_EQ(form->StatusText(), "Please connect VUZ Device.");
    const TRendering rendering(view->Window());
    const RECT labelRect = ChildRect(Control(StatusLabelId));
    EXPECT_GT(rendering.Count(labelRect, RGB(255, 0, 0)), 50);
    EXPECT_EQ(::IsWindowEnabled(Control(InProgButtonId)), FALSE);
}

TEST_F(FormWindow, ProgramButtonWritesTheCommandToTheAdapter) {
    const auto adapter = PlugAdapterAndSettle();
    ASSERT_TRUE(form->Connected());
    ::SendMessageW(Control(InProgButtonId), BM_CLICK, 0, 0);
    ASSERT_EQ(sim.Bus().Writes(adapter).size(), 1U);
    EXPECT_THAT(sim.Bus().Writes(adapter)[0],
                testing::ElementsAre(0x05, 0x00, 0x02, 0, 0, 0, 0, 0));
}

// The status line after a press of "Program": the outcome in its colour, no progress green,
// clear of the buttons however long the line.
struct TProgramOutcome {
    const char* Name;
    bool WriteFails;
    COLORREF Colour;
};

void PrintTo(const TProgramOutcome& outcome, std::ostream* out) {
    *out << outcome.Name;
}

class ProgramOutcome : public TWindowFixture,
                       public testing::WithParamInterface<TProgramOutcome> {};

TEST_P(ProgramOutcome, TheStatusLineShowsTheOutcomeOfTheWrite) {
    if (!ScreenIsReal()) {
        GTEST_SKIP() << NoScreenReason;
    }
    const TProgramOutcome& outcome = GetParam();
    const auto adapter = PlugAdapterAndSettle();
    ASSERT_TRUE(form->Connected());
    if (outcome.WriteFails) {
        sim.Bus().FailNextWrite(adapter, ERROR_GEN_FAILURE);
    }
    ::SendMessageW(Control(InProgButtonId), BM_CLICK, 0, 0);

    const TRendering rendering(view->Window());
    const RECT labelRect = ChildRect(Control(StatusLabelId));
    EXPECT_GT(rendering.Count(labelRect, outcome.Colour), 50);
    for (const COLORREF other : {RGB(0, 128, 0), RGB(0, 0, 255), RGB(255, 0, 0)}) {
        if (other != outcome.Colour) {
            EXPECT_EQ(rendering.Count(labelRect, other), 0) << std::hex << other;
        }
    }
    const RECT button = ChildRect(Control(InProgButtonId));
    EXPECT_LT(labelRect.right, button.left) << "the status line runs under Program";
    EXPECT_EQ(rendering.Count(button, outcome.Colour), 0);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, ProgramOutcome,
                         testing::Values(TProgramOutcome{"Written", false, RGB(0, 0, 255)},
                                         TProgramOutcome{"WriteFailed", true, RGB(255, 0, 0)}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(FormWindow, ProgramHasTheVisibleFocusOnceTheAdapterIsFound) {
    if (!ScreenIsReal()) {
        GTEST_SKIP() << NoScreenReason;
    }
    const HWND program = Control(InProgButtonId);
    ASSERT_EQ(::GetActiveWindow(), view->Window());
    PlugAdapterAndSettle();
    ASSERT_TRUE(form->Connected());
    EXPECT_EQ(::GetFocus(), program);
    const RECT button = ChildRect(program);
    std::vector<COLORREF> focused;
    {
        const TRendering rendering(view->Window());
        for (int y = button.top; y < button.bottom; ++y) {
            for (int x = button.left; x < button.right; ++x) {
                focused.push_back(rendering.Pixel(x, y));
            }
        }
    }
    ::SetFocus(view->Window());
    const TRendering unfocused(view->Window());
    bool differs = false;
    std::size_t i = 0;
    for (int y = button.top; y < button.bottom; ++y) {
        for (int x = button.left; x < button.right; ++x) {
            differs = differs || unfocused.Pixel(x, y) != focused[i];
            ++i;
        }
    }
    EXPECT_TRUE(differs) << "the focus on Program does not show";
}

TEST_F(FormWindow, ExitEndsTheLoopWithCodeZero) {
    ::SendMessageW(Control(ExitButtonId), BM_CLICK, 0, 0);
    EXPECT_EQ(RunMessageLoop(view->Window()), 0);
    EXPECT_TRUE(form->Closing);
    EXPECT_FALSE(::IsWindow(view->Window()));
}

TEST_F(FormWindow, ClosingByTheFrameEndsTheLoopWithoutClosingFlag) {
    ::PostMessageW(view->Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(RunMessageLoop(view->Window()), 0);
    EXPECT_FALSE(form->Closing);
}

TEST_F(FormWindow, ProcessMessagesKeepsAQuitForTheLoop) {
    ::PostQuitMessage(3);
    view->ProcessMessages();
    EXPECT_EQ(RunMessageLoop(view->Window()), 3);
}

TEST_F(FormWindow, CallsFromOtherThreadsWakeTheLoop) {
    std::atomic<bool> ran{false};
    std::thread other([&ran] { runtime::PostToMainThread([&ran] { ran = true; }); });
    other.join();
    // Only window messages are dispatched here: the queue is served by the posted wake-up.
    MSG message;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ran && std::chrono::steady_clock::now() < deadline &&
           ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT) != WAIT_FAILED) {
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&message);
        }
    }
    EXPECT_TRUE(ran);
}

TEST_F(FormWindow, FollowsTheScreenDpi) {
    RECT suggested{};
    ::GetWindowRect(view->Window(), &suggested);
    ::SendMessageW(view->Window(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144),
                   reinterpret_cast<LPARAM>(&suggested));
    const RECT exit = ChildRect(Control(ExitButtonId));
    EXPECT_EQ(exit.left, 836); // 557 * 1.5, rounded
    EXPECT_EQ(exit.top, 26);
    EXPECT_EQ(exit.right - exit.left, 134);
    EXPECT_EQ(exit.bottom - exit.top, 38);
    EXPECT_EQ(::SendMessageW(Control(HistoryListBoxId), LB_GETITEMHEIGHT, 0, 0), 24);
}

TEST(WindowTimer, TicksOnTheLoopAndNotAfterItStops) {
    TWindowTimer timer;
    int ticks = 0;
    timer.OnTimer = [&ticks](app::TTimer&) {
        ++ticks;
    };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    EXPECT_TRUE(PumpUntil([&ticks] { return ticks >= 3; }));
    timer.SetEnabled(false);
    const int stoppedAt = ticks;
    // A tick that was queued before the stop is dispatched now and must do nothing.
    DispatchWaitingMessages(nullptr);
    EXPECT_EQ(ticks, stoppedAt);
}

// Windows' foreground rules may keep a window that was shown from becoming active: showing it
// starts detection all the same, and the adapter present at start is found. Only the
// window's showing is wired here, as if no activation ever came.
TEST(WindowShownWithoutActivation, FindsTheAdapterPresentAtStart) {
    platform::sim::TScopedSimBus sim;
    platform::sim::TSimDeviceConfig adapter;
    adapter.SerialNumber = platform::sim::TSimString::Present(u"SHOWN1");
    sim.Bus().Plug(adapter, platform::sim::TBroadcast::No);
    {
        TFormWindow view;
        app::TMainForm form(view, std::make_unique<TWindowTimer>());
        view.OnShow = [&form, &view] {
            form.FormShow(&view);
        };
        ::ShowWindow(view.Window(), SW_SHOWNOACTIVATE);
        ASSERT_TRUE(PumpUntil([&form] { return form.StatusText() == "Scanning..."; }));
        for (int tick = 0; tick < app::TMainForm::CountdownTicks; ++tick) {
            form.CheckTargetTimer().Tick();
        }
        EXPECT_EQ(form.StatusText(), "ZEM VUZ SHOWN1 is connected.");
        view.OnShow = nullptr;
    }
    runtime::PumpPending();
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

} // namespace
} // namespace win32view_test
