#include "platform/NotifyWindows.h"

#include "runtime/MainThreadQueue.h"

#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

struct TNotifyWindows::TTable {
    struct TWindow {
        WindowProcedure procedure;
        std::thread::id owner;
    };
    std::mutex mutex;
    std::map<HWND, TWindow> windows;
    std::uintptr_t next = 0x00010010;
};

TNotifyWindows::TNotifyWindows() : table_(std::make_shared<TTable>()) {}

HWND TNotifyWindows::Create(WindowProcedure procedure) {
    std::lock_guard lock(table_->mutex);
    const HWND window = reinterpret_cast<HWND>(table_->next);
    table_->next += 2;
    table_->windows.emplace(window,
                            TTable::TWindow{std::move(procedure), std::this_thread::get_id()});
    return window;
}

TNotifyWindows::TDestroyed TNotifyWindows::Destroy(HWND window) {
    std::lock_guard lock(table_->mutex);
    const auto found = table_->windows.find(window);
    if (found == table_->windows.end()) {
        return TDestroyed::NoWindow;
    }
    if (found->second.owner != std::this_thread::get_id()) {
        return TDestroyed::NotOwner;
    }
    table_->windows.erase(found);
    return TDestroyed::Yes;
}

bool TNotifyWindows::Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard lock(table_->mutex);
        if (!table_->windows.contains(window)) {
            return false;
        }
    }
    runtime::PostToMainThread([weak = std::weak_ptr<TTable>(table_), window, message, wParam,
                               lParam] { Deliver(weak, window, message, wParam, lParam); });
    return true;
}

void TNotifyWindows::Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<HWND> targets;
    {
        std::lock_guard lock(table_->mutex);
        for (const auto& [window, entry] : table_->windows) {
            targets.push_back(window);
        }
    }
    for (HWND window : targets) {
        Post(window, message, wParam, lParam);
    }
}

std::size_t TNotifyWindows::Count() const {
    std::lock_guard lock(table_->mutex);
    return table_->windows.size();
}

// The window is looked up when the message is served; the procedure runs without the lock,
// so that it may create, destroy or post itself.
void TNotifyWindows::Deliver(const std::weak_ptr<TTable>& weak, HWND window, UINT message,
                             WPARAM wParam, LPARAM lParam) {
    const std::shared_ptr<TTable> table = weak.lock();
    if (!table) {
        return;
    }
    WindowProcedure procedure;
    {
        std::lock_guard lock(table->mutex);
        const auto found = table->windows.find(window);
        if (found == table->windows.end()) {
            return;
        }
        procedure = found->second.procedure;
    }
    if (procedure) {
        procedure(message, wParam, lParam);
    }
}

} // namespace platform
