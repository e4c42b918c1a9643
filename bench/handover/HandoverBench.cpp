// Synchronous hand-over round trips: one thread sends empty calls to a main thread that
// serves its queue, as a read thread hands reports to the window. Prints the rate and the
// sender's round-trip latency (p50, p99).
#include "runtime/MainThreadQueue.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstddef>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double>& sorted, double p) {
    if (sorted.empty()) {
        return 0.0;
    }
    const auto index = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

void BM_SyncHandOverRoundTrip(benchmark::State& state) {
    runtime::SetMainThread();
    std::atomic<bool> stop{false};
    std::atomic<bool> senderDone{false};
    std::vector<double> latencyUs; // sender only until it is done
    latencyUs.reserve(1U << 20U);
    std::jthread sender([&] {
        while (!stop.load()) {
            const auto start = Clock::now();
            runtime::SendToMainThread([] {});
            latencyUs.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        senderDone = true;
        runtime::WakeMainThreadWaiters();
    });
    for (auto _ : state) {
        while (runtime::WaitAndServeMainThreadQueue(std::chrono::seconds(1)) == 0) {
        }
    }
    stop = true;
    runtime::ServeMainThreadQueueUntil([&] { return senderDone.load(); });
    sender.join();

    std::sort(latencyUs.begin(), latencyUs.end());
    state.counters["round_trips_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["p50_us"] = Percentile(latencyUs, 0.50);
    state.counters["p99_us"] = Percentile(latencyUs, 0.99);
}

BENCHMARK(BM_SyncHandOverRoundTrip)->UseRealTime()->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
