#include "platform/PlatformServices.h"
#include "tests/platform/win32/MessageLoop.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Received {
    UINT Message;
    WPARAM WParam;
    LPARAM LParam;
};

// A window whose procedure records what reaches it and answers 0 to everything, as the
// controller's does for messages it does not handle.
class NotifyWindow : public testing::Test {
protected:
    void SetUp() override {
        window = platform::Services().CreateNotifyWindow([this](UINT message, WPARAM w, LPARAM l) {
            received.push_back({message, w, l});
            return LRESULT{0};
        });
        ASSERT_NE(window, nullptr) << "last error " << ::GetLastError();
    }
    void TearDown() override {
        if (window != nullptr) {
            EXPECT_TRUE(platform::Services().DestroyWindow(window));
        }
    }

    bool Got(UINT message, WPARAM w, LPARAM l) const {
        for (const Received& r : received) {
            if (r.Message == message && r.WParam == w && r.LParam == l) {
                return true;
            }
        }
        return false;
    }

    HWND window = nullptr;
    std::vector<Received> received;
};

TEST_F(NotifyWindow, IsAHiddenTopLevelWindowThatOnlySeesWhatIsMeantForIt) {
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_FALSE(::IsWindowVisible(window));
    // Top-level: its parent is the desktop, not the message-only parent.
    EXPECT_EQ(::GetAncestor(window, GA_PARENT), ::GetDesktopWindow());
    // Creation and window management go to the system's default handling: a procedure that
    // answers 0 to creation would have failed it.
    EXPECT_TRUE(received.empty());
}

TEST_F(NotifyWindow, PostedDeviceChangeArrivesThroughTheMessageLoop) {
    ASSERT_TRUE(
        platform::Services().PostMessageA(window, WM_DEVICECHANGE, kDbtDevnodesChanged, -1));
    EXPECT_TRUE(received.empty()) << "delivered before the loop ran";
    EXPECT_TRUE(win32_test::PumpMessagesUntil(
        [this] { return Got(WM_DEVICECHANGE, kDbtDevnodesChanged, -1); }));
}

TEST_F(NotifyWindow, ReceivesTheBroadcastDeviceChange) {
    ASSERT_TRUE(::PostMessageA(HWND_BROADCAST, WM_DEVICECHANGE, kDbtDevnodesChanged, 0));
    EXPECT_TRUE(win32_test::PumpMessagesUntil(
        [this] { return Got(WM_DEVICECHANGE, kDbtDevnodesChanged, 0); }));
}

TEST_F(NotifyWindow, TheProcedureAnswersSentMessages) {
    const HWND answering = platform::Services().CreateNotifyWindow(
        [](UINT message, WPARAM, LPARAM) { return LRESULT{message == WM_QUERYENDSESSION}; });
    ASSERT_NE(answering, nullptr);
    EXPECT_EQ(::SendMessageA(answering, WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(::SendMessageA(answering, WM_USER + 1, 0, 0), 0);
    EXPECT_TRUE(platform::Services().DestroyWindow(answering));
}

TEST_F(NotifyWindow, IsGoneAfterDestroy) {
    ASSERT_TRUE(platform::Services().DestroyWindow(window));
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_FALSE(
        platform::Services().PostMessageA(window, WM_DEVICECHANGE, kDbtDevnodesChanged, 0));
    EXPECT_EQ(platform::Services().GetLastError(), DWORD{ERROR_INVALID_WINDOW_HANDLE});
    EXPECT_FALSE(platform::Services().DestroyWindow(window));
    window = nullptr;
}

TEST(NotifyWindowCreation, AProcedureMayDestroyItsOwnWindow) {
    auto& services = platform::Services();
    HWND self = nullptr;
    BOOL destroyed = FALSE;
    int handled = 0;
    // The captures are used after the window is gone: the procedure must still be alive.
    self = services.CreateNotifyWindow([&](UINT message, WPARAM, LPARAM) {
        if (message == WM_USER + 2) {
            destroyed = platform::Services().DestroyWindow(self);
            ++handled;
        }
        return LRESULT{0};
    });
    ASSERT_NE(self, nullptr);
    ::SendMessageA(self, WM_USER + 2, 0, 0);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(handled, 1);
    EXPECT_FALSE(::IsWindow(self));
}

TEST(NotifyWindowCreation, WithoutAProcedureFails) {
    EXPECT_EQ(platform::Services().CreateNotifyWindow(nullptr), nullptr);
    EXPECT_EQ(platform::Services().GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

} // namespace
