// A request to stop waiting (Ctrl+C), made from any thread and seen by the wait loop.
#pragma once

#include <atomic>

namespace cli {

class TInterrupt {
public:
    // Any thread, also a signal-handling one: sets the flag and wakes the wait loop.
    void Request();
    bool Requested() const { return requested.load(); }

private:
    std::atomic<bool> requested{false};
};

} // namespace cli
