// Serving the main-thread queue where no event loop does it (tests, console tools).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

namespace runtime {

// Main thread only: serves the queue until done() holds or timeout passes; returns whether
// done() held. done() is tested after every serve and at least every poll interval, so it
// may watch state that other threads change without waking the queue.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10),
               std::chrono::milliseconds poll = std::chrono::milliseconds(5));

// Main thread only: serves the queue until nothing is waiting (calls that queue more are
// served too) or timeout passes; returns how many calls ran.
std::size_t PumpPending(std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace runtime
