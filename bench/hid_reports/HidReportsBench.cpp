// Input reports delivered to OnData through a device's real read thread on the simulated
// bus. A pusher thread pushes 8-byte reports carrying a sequence number, either as fast as
// the bus takes them (the bus drops the oldest report when the handle's input buffers are
// full) or paced so that no more reports are in flight than those buffers hold, so that none
// is dropped. Prints the delivery rate and the pushed, delivered and lost counts.
#include "hid/HidControllerClass.h"
#include "platform/sim/ScopedSimBus.h"
#include "runtime/MainThreadQueue.h"
#include "runtime/Pump.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kReports = 100000;
constexpr std::size_t kInputBuffers = 32; // the bus's default per handle

// Counts what reaches OnData (on the main thread) and checks that the sequence only goes up.
// When the reports in flight have fallen to half the input buffers it wakes a paced pusher,
// so that the pusher wakes once per burst rather than once per report.
struct TReceiver {
    void Data(hid::THidDevice* /*device*/, BYTE /*id*/, const BYTE* data, WORD size) {
        std::uint32_t sequence = 0;
        if (size >= sizeof sequence) {
            std::memcpy(&sequence, data, sizeof sequence);
        }
        if (sequence <= last) {
            ++outOfOrder;
        }
        last = sequence;
        const std::uint64_t now = delivered.fetch_add(1) + 1;
        if (pushed.load() - now <= kInputBuffers / 2) {
            credit.fetch_add(1);
            credit.notify_one();
        }
    }
    std::atomic<std::uint64_t> pushed{0};
    std::atomic<std::uint64_t> delivered{0};
    std::atomic<std::uint64_t> credit{0};
    std::uint64_t outOfOrder = 0;
    std::uint32_t last = 0;
};

void BM_InputReportsToOnData(benchmark::State& state) {
    const bool paced = state.range(0) != 0;
    runtime::SetMainThread();
    platform::sim::TScopedSimBus bus;
    const auto id = bus->Plug({}, platform::sim::TBroadcast::No);
    auto controller = std::make_unique<hid::THidDeviceController>();
    runtime::PumpPending();
    hid::THidDevice* device = nullptr;
    if (!controller->CheckOutByIndex(device, 0)) {
        state.SkipWithError("no device to check out");
        return;
    }
    const std::unique_ptr<hid::THidDevice> held(device);
    TReceiver receiver;
    held->SetOnData(runtime::MakeEvent<&TReceiver::Data>(receiver));
    bus->WaitUntil([&] { return bus->PendingReadCount(id) == 1; });

    std::uint32_t sequence = 0;
    double seconds = 0;
    double pushSeconds = 0;
    for (auto _ : state) {
        const std::uint64_t deliveredBefore = receiver.delivered;
        std::atomic<bool> pusherDone{false};
        const auto start = Clock::now();
        std::thread pusher([&] {
            std::vector<BYTE> report(8, 0);
            for (std::uint32_t i = 0; i < kReports; ++i) {
                if (paced) {
                    // At most one report per input buffer in flight: none can be dropped.
                    for (auto seen = receiver.credit.load();
                         receiver.pushed - receiver.delivered >= kInputBuffers;
                         seen = receiver.credit.load()) {
                        receiver.credit.wait(seen);
                    }
                }
                ++sequence;
                std::memcpy(report.data() + 1, &sequence, sizeof sequence);
                receiver.pushed.fetch_add(1);
                bus->PushInputReport(id, report);
                if (sequence % 8192 == 0) {
                    bus->ResetCallCounts(); // keeps the bus's call log short
                }
            }
            pushSeconds += std::chrono::duration<double>(Clock::now() - start).count();
            pusherDone = true;
        });
        // Served until every report pushed has been delivered or dropped: the pusher is
        // done, nothing is queued on the handle and the thread waits in a new read.
        const bool drained = runtime::PumpUntil(
            [&] {
                return pusherDone && bus->QueuedInputReportCount(id) == 0 &&
                       bus->PendingReadCount(id) == 1 && runtime::PendingMainThreadCalls() == 0;
            },
            std::chrono::minutes(2), std::chrono::milliseconds(1));
        pusher.join();
        if (!drained) {
            state.SkipWithError("reports still in flight after two minutes");
            break;
        }
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        benchmark::DoNotOptimize(receiver.delivered - deliveredBefore);
        if (receiver.delivered - deliveredBefore < kReports && paced) {
            state.SkipWithError("a paced report was lost");
            break;
        }
    }
    held->SetOnData(nullptr);

    const auto delivered = static_cast<double>(receiver.delivered);
    const auto pushed = static_cast<double>(receiver.pushed);
    state.counters["pushed"] = pushed;
    state.counters["delivered"] = delivered;
    state.counters["lost"] = pushed - delivered;
    state.counters["out_of_order"] = static_cast<double>(receiver.outOfOrder);
    state.counters["pushed_per_s"] = pushed / pushSeconds;
    state.counters["delivered_per_s"] = delivered / seconds;
}

BENCHMARK(BM_InputReportsToOnData)
    ->ArgName("paced")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
