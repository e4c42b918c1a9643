// vuz-cli: the adapter's job from a terminal or a script. RunCli is the whole program apart
// from the process (console, signals), so that tests run it with argv in and the two
// streams and the exit code out.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

class TInterrupt;

inline constexpr const char* Version = "1.0.0";

// The exit codes scripts test.
enum TExitCode : int {
    ExitWritten = 0,
    ExitNoAdapter = 1,
    ExitWriteFailed = 2,
    ExitSeveralAdapters = 3,
    // --serial (or --path) given, and more than one adapter matches it.
    ExitSeveralMatch = 4,
    ExitBadUsage = 64,
    // Standard output failed (sysexits' EX_IOERR).
    ExitOutputFailed = 74,
    ExitInterrupted = 130,
};

// Which platform services a run without --simulated uses.
enum class TServicesChoice {
    Native,   // the operating system's backend, installed for the run
    Installed // whatever is installed already (tests: a simulated bus, a fake Linux tree)
};

struct TCliContext {
    TServicesChoice Services = TServicesChoice::Native;
    // Ctrl+C; none: the run is never interrupted.
    TInterrupt* Interrupt = nullptr;
    // Told on the main thread when a command starts waiting for devices (tests drive the
    // bus from here).
    std::function<void()> OnWaiting;
    // The watch command's timestamps; empty: the system clock.
    std::function<std::chrono::system_clock::time_point()> Clock;
};

// Runs one command line (without the program name) on the calling thread, which serves
// the main-thread queue while it waits; returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const TCliContext& context = {});

} // namespace cli
