// The native window with the window's behaviour on the simulated bus, shown, and what a test
// needs to look at it: a message pump with a time limit and the window rendered to pixels.
#pragma once

#include "app/core/MainForm.h"
#include "app/win32/FormWindow.h"
#include "app/win32/WindowTimer.h"
#include "platform/sim/ScopedSimBus.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace win32view_test {

// Dispatches this thread's messages (the main-thread queue's wake-ups among them) until done
// holds or the limit passes; wakes on every message.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

// Whether what the window paints reaches a screen that can be read back: not under Wine's
// null display driver (the headless test run); the real-window run under Xvfb has one.
bool ScreenIsReal();
inline constexpr const char* NoScreenReason =
    "no screen to read (Wine's null display driver); scripts/test-windows-gui.sh runs this "
    "under Xvfb";

// The window's client area as the screen shows it, after all of it has been painted.
class TRendering {
public:
    explicit TRendering(HWND window);
    COLORREF Pixel(int x, int y) const;
    // Pixels of exactly this colour inside rect.
    int Count(const RECT& rect, COLORREF colour) const;
    int Width() const { return width; }
    int Height() const { return height; }

private:
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, top-down
};

// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);

class TWindowFixture : public testing::Test {
protected:
    TWindowFixture();
    ~TWindowFixture() override;

    // Plugs the adapter and lets three countdown ticks pass (called directly).
    platform::sim::TSimDeviceId PlugAdapterAndSettle();
    HWND Control(int id) const { return ::GetDlgItem(view->Window(), id); }

    platform::sim::TScopedSimBus sim;
    std::unique_ptr<app::win32::TFormWindow> view;
    std::unique_ptr<app::TMainForm> form;
};

} // namespace win32view_test
