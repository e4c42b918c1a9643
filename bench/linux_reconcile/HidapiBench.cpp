// The yardstick: hidapi's hid_enumerate (hidraw backend, through libudev) over the same
// fake trees as the backend's benchmarks, listing every device with its strings.
#include "BenchTree.h"
#include "SyscallCount.h"

#include <benchmark/benchmark.h>
#include <hidapi/hidapi.h>

namespace {

void BM_HidapiEnumerate(benchmark::State& state) {
    const auto nodes = static_cast<int>(state.range(0));
    bench::TBenchTree tree(nodes);
    if (!tree.AtSys()) {
        state.SkipWithError("hidapi reads /sys only: needs a private mount namespace");
        return;
    }
    hid_init();
    std::uint64_t syscalls = 0;
    for (auto _ : state) {
        const std::uint64_t before = bench::SyscallCount();
        hid_device_info* devices = hid_enumerate(0, 0);
        syscalls += bench::SyscallCount() - before;
        // Every device, with the strings the backend's benchmark reads too.
        int listed = 0;
        for (const hid_device_info* device = devices; device != nullptr; device = device->next) {
            const bool complete = device->manufacturer_string != nullptr &&
                                  device->product_string != nullptr &&
                                  device->serial_number != nullptr && *device->serial_number != 0;
            listed += complete ? 1 : 0;
        }
        hid_free_enumeration(devices);
        if (listed != nodes) {
            state.SkipWithError("hidapi did not list every node with its strings");
            break;
        }
    }
    hid_exit();
    state.counters["nodes"] = nodes;
    if (bench::SyscallCountIsTheKernels()) { // libudev's calls are not wrapped
        state.counters["syscalls/dev"] =
            static_cast<double>(syscalls) / (nodes * static_cast<double>(state.iterations()));
    }
}

BENCHMARK(BM_HidapiEnumerate)->Arg(8)->Arg(32)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond);

} // namespace
