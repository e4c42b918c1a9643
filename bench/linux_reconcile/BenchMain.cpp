// Runs the benchmarks in a private mount namespace where the process may make one (so the
// fake trees can be shown at /sys), and ends with the backend's first enumeration set
// against hidapi's enumeration of the same trees.
#include "SyscallCount.h"
#include "SysfsMount.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kBackend = "BM_FirstEnumerationOnLinux";
constexpr const char* kHidapi = "BM_HidapiEnumerate";
constexpr const char* kUnchanged = "BM_ReconcileUnchangedOnLinux";

// A run that failed or was skipped: Google Benchmark 1.8 replaced the flag error_occurred
// with the state skipped.
template <class TRun>
bool DidNotComplete(const TRun& run) {
    if constexpr (requires { run.skipped; }) {
        return static_cast<bool>(run.skipped);
    } else {
        return run.error_occurred;
    }
}

// The console report, and at its end the two enumerations side by side (the median where
// the runs were repeated).
class TComparingReporter : public benchmark::ConsoleReporter {
public:
    TComparingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_Color : OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (DidNotComplete(run) || (run.run_type == Run::RT_Aggregate && !median)) {
                continue;
            }
            TTimes& times = byNodes_[std::atoi(run.run_name.args.c_str())];
            const std::string& name = run.run_name.function_name;
            double* slot = name == kBackend     ? &times.backend
                           : name == kHidapi    ? &times.hidapi
                           : name == kUnchanged ? &times.unchanged
                                                : nullptr;
            // A median replaces the single runs it sums up.
            if (slot != nullptr && (median || *slot == 0)) {
                *slot = run.GetAdjustedRealTime();
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        bool header = false;
        for (const auto& [nodes, times] : byNodes_) {
            if (times.backend <= 0 || times.hidapi <= 0) {
                continue;
            }
            if (!header) {
                std::printf("\nThe backend's first enumeration against hidapi's hid_enumerate of "
                            "the same tree (ms),\nand an unchanged reconciliation as a share "
                            "of hid_enumerate:\n%8s %10s %10s %8s %10s\n",
                            "nodes", "backend", "hidapi", "faster", "unchanged");
                header = true;
            }
            std::printf("%8d %10.3f %10.3f %7.1fx", nodes, times.backend, times.hidapi,
                        times.hidapi / times.backend);
            if (times.unchanged > 0) {
                std::printf(" %9.1f%%", 100 * times.unchanged / times.hidapi);
            }
            std::printf("\n");
        }
    }

private:
    struct TTimes {
        double backend = 0;
        double hidapi = 0;
        double unchanged = 0;
    };
    // By node count, in the benchmarks' time unit.
    std::map<int, TTimes> byNodes_;
};

} // namespace

int main(int argc, char** argv) {
    bench::StartSyscallCount();
    const bool atSys = bench::EnterPrivateMountNamespace();
    benchmark::AddCustomContext("syscalls", bench::SyscallCountSource());
    benchmark::AddCustomContext("fake sysfs", atSys ? "at /sys (private mount namespace)"
                                                    : "at its own path (no mount namespace)");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    TComparingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
