// One reconciliation of the controller's device list on the Linux backend, over a fake
// sysfs tree of N hidraw devices with none changed: every node is listed, opened,
// identified from sysfs and described again. Prints the time per reconciliation.
#include "FakeHidTree.h"
#include "hid/HidControllerClass.h"
#include "platform/linux/LinuxServices.h"
#include "runtime/Pump.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

using platform::linux_backend::TEventFeed;
using platform::linux_backend::TLinuxOptions;
using platform::linux_backend::TLinuxServices;
using platform::linux_backend::testing::TFakeHidTree;

void BM_ReconcileUnchangedOnLinux(benchmark::State& state) {
    const auto nodes = static_cast<int>(state.range(0));
    TFakeHidTree tree;
    for (int i = 0; i < nodes; ++i) {
        tree.Plug();
    }
    TLinuxOptions options;
    options.Roots = tree.Roots();
    options.Events = TEventFeed::None;
    auto previous = platform::InstallServices(std::make_unique<TLinuxServices>(options));
    {
        hid::THidDeviceController controller;
        controller.DeviceChange(); // lists them all
        if (controller.DeviceCount() != nodes) {
            state.SkipWithError("not every node was listed");
        } else {
            for (auto _ : state) {
                controller.DeviceChange();
            }
        }
        benchmark::DoNotOptimize(controller.CheckedInCount());
    }
    runtime::PumpPending(); // the construction's notification, now for a window gone
    platform::InstallServices(std::move(previous));
    state.counters["nodes"] = nodes;
}

BENCHMARK(BM_ReconcileUnchangedOnLinux)->Arg(8)->Arg(32)->Arg(128)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
