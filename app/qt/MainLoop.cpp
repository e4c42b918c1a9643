#include "app/qt/MainLoop.h"

#include "runtime/MainThreadQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <mutex>

namespace app {

// What the wake hook posts to. The hook may still be running on another thread when the
// hooks go away, so the receiver is handed over under a lock.
struct TMainLoopHooks::TTarget {
    std::mutex mutex;
    QObject* receiver = nullptr;
};

TMainLoopHooks::TMainLoopHooks() : target(std::make_shared<TTarget>()) {
    runtime::SetMainThread();
    target->receiver = QCoreApplication::instance();
    runtime::SetWakeHook([target = target] {
        const std::lock_guard<std::mutex> lock(target->mutex);
        if (target->receiver != nullptr) {
            QMetaObject::invokeMethod(
                target->receiver, [] { runtime::ServeMainThreadQueue(); }, Qt::QueuedConnection);
        }
    });
}

TMainLoopHooks::~TMainLoopHooks() {
    runtime::SetWakeHook(nullptr);
    const std::lock_guard<std::mutex> lock(target->mutex);
    target->receiver = nullptr;
}

void ProcessMessages() {
    QCoreApplication::processEvents();
    // Calls queued without a wake-up (or whose wake-up is still in flight) count as
    // waiting messages too.
    runtime::ServeMainThreadQueue();
}

} // namespace app
