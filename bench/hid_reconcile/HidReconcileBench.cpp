// One reconciliation of the controller's device list with N interfaces present and none
// changed, on the simulated bus: every interface is opened, identified and described again,
// and the copies of known devices are thrown away. Prints the time per reconciliation.
#include "hid/HidControllerClass.h"
#include "platform/sim/ScopedSimBus.h"
#include "runtime/Pump.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ReconcileUnchanged(benchmark::State& state) {
    const auto interfaces = static_cast<int>(state.range(0));
    platform::sim::TScopedSimBus bus;
    for (int i = 0; i < interfaces; ++i) {
        bus->Plug({}, platform::sim::TBroadcast::No);
    }
    {
        hid::THidDeviceController controller;
        controller.DeviceChange(); // lists them all
        if (controller.DeviceCount() != interfaces) {
            state.SkipWithError("not every interface was listed");
            return;
        }
        for (auto _ : state) {
            controller.DeviceChange();
        }
        benchmark::DoNotOptimize(controller.CheckedInCount());
    }
    runtime::PumpPending(); // the construction's notification, now for a window gone
    // Time per interface: the time per reconciliation over this.
    state.counters["interfaces"] = interfaces;
}

BENCHMARK(BM_ReconcileUnchanged)->Arg(8)->Arg(32)->Arg(128)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
