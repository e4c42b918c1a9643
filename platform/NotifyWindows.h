// Hidden notification windows for backends without a window system of their own: each is a
// procedure that messages are posted to through the main-thread queue. A message is
// delivered when the main thread serves it; one whose window is gone by then (or whose
// table is gone) is dropped. Thread-safe.
#pragma once

#include "platform/PlatformServices.h"

#include <cstddef>
#include <memory>

namespace platform {

class TNotifyWindows {
public:
    TNotifyWindows();
    TNotifyWindows(const TNotifyWindows&) = delete;
    TNotifyWindows& operator=(const TNotifyWindows&) = delete;

    // A new window owned by the calling thread.
    HWND Create(WindowProcedure procedure);

    enum class TDestroyed { Yes, NotOwner, NoWindow };
    // Only the thread that created a window may destroy it.
    TDestroyed Destroy(HWND window);

    // False when there is no such window.
    bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Posts the message to every window there is now.
    void Broadcast(UINT message, WPARAM wParam, LPARAM lParam);

    std::size_t Count() const;

private:
    struct TTable;
    static void Deliver(const std::weak_ptr<TTable>& weak, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam);

    std::shared_ptr<TTable> table_;
};

} // namespace platform
