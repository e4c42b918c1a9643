// Joins the runtime's main-thread queue to Qt's event loop: calls that other threads hand
// to the main thread (read-thread hand-overs, the backends' window messages) are served by
// the event loop, and "process the waiting messages" serves them too.
#pragma once

#include <memory>

namespace app {

// Marks the calling thread as the main thread and wakes Qt's event loop whenever a call is
// queued for it. Create after the application object and destroy before it.
class TMainLoopHooks {
public:
    TMainLoopHooks();
    ~TMainLoopHooks();
    TMainLoopHooks(const TMainLoopHooks&) = delete;
    TMainLoopHooks& operator=(const TMainLoopHooks&) = delete;

private:
    struct TTarget;
    std::shared_ptr<TTarget> target;
};

// Processes the window messages that are waiting, once, and the calls queued for the main
// thread with them.
void ProcessMessages();

} // namespace app
