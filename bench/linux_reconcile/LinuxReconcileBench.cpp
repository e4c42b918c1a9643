// The controller's device list on the Linux backend, over fake sysfs trees of N hidraw
// devices:
// - first enumeration: fresh services and controller list every node and identify each
//   device as the program does on arrival (report lengths, manufacturer, product, serial);
// - unchanged reconciliation: the same list again with nothing changed.
// Prints the time per pass and, per device, the system calls (SyscallCount.h), the node
// opens (identification opens none: a handle opens its node at its first write) and the
// identity reads of the backend.
// HidapiBench.cpp times hidapi's enumeration of the same trees, for comparison.
#include "BenchTree.h"
#include "SyscallCount.h"
#include "hid/HidControllerClass.h"
#include "platform/linux/LinuxServices.h"
#include "runtime/Event.h"
#include "runtime/Pump.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

using platform::linux_backend::TLinuxCounts;
using platform::linux_backend::TLinuxServices;

// What the program reads of each device that arrives.
struct TIdentify {
    int arrived = 0;
    void Arrival(hid::THidDevice* device) {
        benchmark::DoNotOptimize(device->Caps());
        benchmark::DoNotOptimize(device->VendorName());
        benchmark::DoNotOptimize(device->ProductName());
        benchmark::DoNotOptimize(device->SerialNumber());
        ++arrived;
    }
};

// Per device and pass: system calls, node opens, identity reads.
void Report(benchmark::State& state, int nodes, std::uint64_t syscalls, std::size_t opens,
            std::size_t identities, std::int64_t passes) {
    const double perDevice = static_cast<double>(nodes) * static_cast<double>(passes);
    state.counters["nodes"] = nodes;
    state.counters["syscalls/dev"] = static_cast<double>(syscalls) / perDevice;
    state.counters["opens/dev"] = static_cast<double>(opens) / perDevice;
    state.counters["identity/dev"] = static_cast<double>(identities) / perDevice;
}

void BM_FirstEnumerationOnLinux(benchmark::State& state) {
    const auto nodes = static_cast<int>(state.range(0));
    const bench::TBenchTree tree(nodes);
    std::uint64_t syscalls = 0;
    std::size_t opens = 0;
    std::size_t identities = 0;
    for (auto _ : state) {
        auto services = std::make_unique<TLinuxServices>(tree.Options());
        TLinuxServices& backend = *services;
        auto previous = platform::InstallServices(std::move(services));
        const std::uint64_t before = bench::SyscallCount();
        TIdentify identify;
        {
            hid::THidDeviceController controller;
            controller.SetOnArrival(runtime::MakeEvent<&TIdentify::Arrival>(identify));
            controller.DeviceChange();
            syscalls += bench::SyscallCount() - before;
            state.PauseTiming();
            const TLinuxCounts counts = backend.Counts();
            opens += counts.NodeOpens;
            identities += counts.IdentityReads;
            if (identify.arrived != nodes) {
                state.SkipWithError("not every node was listed");
            }
        }
        runtime::PumpPending(); // the construction's notification, now for a window gone
        platform::InstallServices(std::move(previous));
        state.ResumeTiming();
    }
    Report(state, nodes, syscalls, opens, identities, state.iterations());
}

void BM_ReconcileUnchangedOnLinux(benchmark::State& state) {
    const auto nodes = static_cast<int>(state.range(0));
    const bench::TBenchTree tree(nodes);
    auto services = std::make_unique<TLinuxServices>(tree.Options());
    TLinuxServices& backend = *services;
    auto previous = platform::InstallServices(std::move(services));
    {
        TIdentify identify;
        hid::THidDeviceController controller;
        controller.SetOnArrival(runtime::MakeEvent<&TIdentify::Arrival>(identify));
        controller.DeviceChange(); // lists them all
        if (identify.arrived != nodes) {
            state.SkipWithError("not every node was listed");
        } else {
            const TLinuxCounts first = backend.Counts();
            const std::uint64_t before = bench::SyscallCount();
            for (auto _ : state) {
                controller.DeviceChange();
            }
            const TLinuxCounts counts = backend.Counts();
            Report(state, nodes, bench::SyscallCount() - before, counts.NodeOpens - first.NodeOpens,
                   counts.IdentityReads - first.IdentityReads, state.iterations());
        }
        benchmark::DoNotOptimize(controller.CheckedInCount());
    }
    runtime::PumpPending();
    platform::InstallServices(std::move(previous));
}

BENCHMARK(BM_FirstEnumerationOnLinux)
    ->Arg(8)
    ->Arg(32)
    ->Arg(128)
    ->Arg(512)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReconcileUnchangedOnLinux)
    ->Arg(8)
    ->Arg(32)
    ->Arg(128)
    ->Arg(512)
    ->Unit(benchmark::kMillisecond);

} // namespace
