// vuz-cli program with the adapter present, from start to the report written. Figures:
// - in process: RunCli on a fresh simulated bus, and on the Linux backend over a fake
//   hidraw tree (pseudo-terminal node; the bytes are read back there);
// - as a process: this program started again as a child that does the same and exits
//   (process start, static set-up, RunCli, clean stop, exit), and the real vuz-cli binary
//   for `--simulated list` (its start-up and clean stop without the write).
// The goal is under 20 ms from start to report written. Nothing is asserted.
#include "FakeHidTree.h"
#include "app/cli/Cli.h"
#include "platform/linux/LinuxServices.h"
#include "platform/sim/ScopedSimBus.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using platform::linux_backend::TEventFeed;
using platform::linux_backend::TLinuxOptions;
using platform::linux_backend::TLinuxServices;
using platform::linux_backend::testing::TFakeHidTree;

// Standard output that notes when the program says the report is written.
class TWrittenClock : public std::stringbuf {
public:
    Clock::time_point Written{};

protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        if (Written == Clock::time_point{} &&
            std::string_view(text, static_cast<std::size_t>(count)).find("enabled") !=
                std::string_view::npos) {
            Written = Clock::now();
        }
        return std::stringbuf::xsputn(text, count);
    }
};

struct TRunTimes {
    double ToWrittenMs = 0;
    double TotalMs = 0;
    bool Written = false;
};

TRunTimes RunProgram() {
    TWrittenClock written;
    std::ostream out(&written);
    std::ostringstream err;
    cli::TCliContext context;
    context.Services = cli::TServicesChoice::Installed;
    const auto start = Clock::now();
    const int code = cli::RunCli({"program"}, out, err, context);
    const auto end = Clock::now();
    TRunTimes times;
    times.Written = code == 0 && written.Written != Clock::time_point{};
    times.ToWrittenMs = std::chrono::duration<double, std::milli>(written.Written - start).count();
    times.TotalMs = std::chrono::duration<double, std::milli>(end - start).count();
    return times;
}

void PlugSimulatedDevices(platform::sim::TSimBus& bus) {
    platform::sim::TSimDeviceConfig keyboard;
    keyboard.VendorID = 0x046D;
    keyboard.ProductID = 0xC31C;
    keyboard.Access = platform::sim::TSimAccess::QueryOnly;
    bus.Plug(keyboard, platform::sim::TBroadcast::No);
    bus.Plug({}, platform::sim::TBroadcast::No); // the adapter
}

// The runs' times: each sets its iteration's time; the means are printed as counters.
struct TRunTotals {
    double toWritten = 0;
    double total = 0;
    int runs = 0;

    void Add(benchmark::State& state, const TRunTimes& times) {
        state.SetIterationTime(times.ToWrittenMs / 1000.0);
        toWritten += times.ToWrittenMs;
        total += times.TotalMs;
        ++runs;
    }
    void Report(benchmark::State& state) const {
        state.counters["to_written_ms"] = toWritten / runs;
        state.counters["run_total_ms"] = total / runs;
    }
};

void BM_ProgramOnSimulatedBus(benchmark::State& state) {
    TRunTotals totals;
    for (auto _ : state) {
        platform::sim::TScopedSimBus sim;
        PlugSimulatedDevices(sim.Bus());
        const TRunTimes times = RunProgram();
        if (!times.Written) {
            state.SkipWithError("not written");
            return;
        }
        totals.Add(state, times);
    }
    totals.Report(state);
}
BENCHMARK(BM_ProgramOnSimulatedBus)->UseManualTime()->Unit(benchmark::kMillisecond);

std::unique_ptr<platform::TPlatformServices>
InstallLinux(const platform::linux_backend::TLinuxRoots& roots) {
    TLinuxOptions options;
    options.Roots = roots;
    options.Events = TEventFeed::None;
    return platform::InstallServices(std::make_unique<TLinuxServices>(options));
}

void BM_ProgramOnLinuxFakeTree(benchmark::State& state) {
    TFakeHidTree tree;
    for (int i = 0; i < 4; ++i) {
        platform::linux_backend::testing::TFakeDevice other;
        other.VendorID = 0x046D;
        other.ProductID = static_cast<std::uint16_t>(0xC000 + i);
        tree.Plug(other);
    }
    const unsigned node = tree.Plug();
    TRunTotals totals;
    for (auto _ : state) {
        auto previous = InstallLinux(tree.Roots());
        const TRunTimes times = RunProgram();
        platform::InstallServices(std::move(previous));
        state.PauseTiming();
        const bool arrived = tree.Drain(node, 8).size() == 8;
        state.ResumeTiming();
        if (!times.Written || !arrived) {
            state.SkipWithError("not written to the node");
            return;
        }
        totals.Add(state, times);
    }
    totals.Report(state);
}
BENCHMARK(BM_ProgramOnLinuxFakeTree)->UseManualTime()->Unit(benchmark::kMillisecond);

// Starts program with arguments and waits for it; returns its wall time in milliseconds,
// or a negative number when it did not exit 0.
double SpawnAndWait(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& arg : command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    waitpid(child, &status, 0);
    const auto end = Clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double ChildrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) * 1000.0 +
               static_cast<double>(time.tv_usec) / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

std::string SelfPath() {
    std::vector<char> path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    return length > 0 ? std::string(path.data(), static_cast<std::size_t>(length)) : std::string();
}

void TimeProcess(benchmark::State& state, const std::vector<std::string>& command,
                 const std::function<void()>& afterRun = {}) {
    // The children's own CPU time does not depend on how busy the machine is.
    const double cpuBefore = ChildrenCpuMs();
    int runs = 0;
    for (auto _ : state) {
        ++runs;
        const double ms = SpawnAndWait(command);
        if (ms < 0) {
            state.SkipWithError("the process failed");
            return;
        }
        if (afterRun) {
            state.PauseTiming();
            afterRun();
            state.ResumeTiming();
        }
        state.SetIterationTime(ms / 1000.0);
    }
    if (runs > 0) {
        state.counters["child_cpu_ms"] = (ChildrenCpuMs() - cpuBefore) / runs;
    }
}

void BM_ProcessProgramOnSimulatedBus(benchmark::State& state) {
    TimeProcess(state, {SelfPath(), "--child-program-sim"});
}
BENCHMARK(BM_ProcessProgramOnSimulatedBus)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ProcessProgramOnLinuxFakeTree(benchmark::State& state) {
    TFakeHidTree tree;
    const unsigned node = tree.Plug();
    const auto roots = tree.Roots();
    TimeProcess(state, {SelfPath(), "--child-program-linux", roots.Sysfs, roots.Dev},
                [&] { tree.Drain(node, 8); });
}
BENCHMARK(BM_ProcessProgramOnLinuxFakeTree)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ProcessVuzCliSimulatedList(benchmark::State& state) {
    TimeProcess(state, {VUZ_CLI_PROGRAM, "--simulated", "list"});
}
BENCHMARK(BM_ProcessVuzCliSimulatedList)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ProcessVuzCliVersion(benchmark::State& state) {
    TimeProcess(state, {VUZ_CLI_PROGRAM, "--version"});
}
BENCHMARK(BM_ProcessVuzCliVersion)->UseManualTime()->Unit(benchmark::kMillisecond);

// What starting any process costs on this machine, for comparison.
void BM_ProcessTrueBaseline(benchmark::State& state) {
    TimeProcess(state, {"/bin/true"});
}
BENCHMARK(BM_ProcessTrueBaseline)->UseManualTime()->Unit(benchmark::kMillisecond);

// The children: one program run each, exit 0 when the report was written.
int ChildProgram(int argc, char** argv) {
    if (std::strcmp(argv[1], "--child-program-sim") == 0) {
        platform::sim::TScopedSimBus sim;
        PlugSimulatedDevices(sim.Bus());
        return RunProgram().Written ? 0 : 1;
    }
    if (argc < 4) {
        return 2;
    }
    platform::linux_backend::TLinuxRoots roots;
    roots.Sysfs = argv[2];
    roots.Dev = argv[3];
    auto previous = InstallLinux(roots);
    const bool written = RunProgram().Written;
    platform::InstallServices(std::move(previous));
    return written ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strncmp(argv[1], "--child-", 8) == 0) {
        return ChildProgram(argc, argv);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
