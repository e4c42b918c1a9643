// A window timer with the toolkit's semantics: Enabled does not restart a timer that
// already runs, an integer Tag for the owner, an OnTimer handler. A front end supplies the
// ticking on its own loop and calls Tick at every period; tests call Tick themselves.
#pragma once

#include <functional>
#include <memory>

namespace app {

class TTimer {
public:
    virtual ~TTimer() = default;
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    bool Enabled() const { return enabled; }
    // Enabling a running timer keeps its current period going.
    void SetEnabled(bool value);
    int Interval() const { return interval; }
    // A running timer starts a new period with the new interval.
    void SetInterval(int milliseconds);

    // Runs OnTimer if the timer is enabled (a tick that was on its way when the timer was
    // stopped does nothing).
    void Tick();

    int Tag = 0;
    std::function<void(TTimer& Sender)> OnTimer;

protected:
    TTimer() = default;
    // The front end's periodic ticking; Start may be called on a running timer to restart it.
    virtual void StartTicking(int intervalMs) = 0;
    virtual void StopTicking() = 0;

private:
    bool enabled = false;
    int interval = 1000;
};

using TTimerFactory = std::function<std::unique_ptr<TTimer>()>;

// A timer that never ticks by itself: the owner calls Tick (tests, scripted runs).
class TManualTimer final : public TTimer {
public:
    TManualTimer() = default;

protected:
    void StartTicking(int /*intervalMs*/) override {}
    void StopTicking() override {}
};

} // namespace app
