// A timer for loops that serve the runtime's main-thread queue and nothing else (the command
// line, tools): a thread of its own keeps the period and posts each tick to the main thread.
#pragma once

#include "app/core/FormTimer.h"

#include <memory>
#include <thread>

namespace app {

class TQueueTimer final : public TTimer {
public:
    TQueueTimer();
    ~TQueueTimer() override;
    TQueueTimer(const TQueueTimer&) = delete;
    TQueueTimer& operator=(const TQueueTimer&) = delete;

protected:
    void StartTicking(int intervalMs) override;
    void StopTicking() override;

private:
    struct TShared;
    std::shared_ptr<TShared> shared;
    std::thread ticker;
};

} // namespace app
