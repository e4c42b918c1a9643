// Signals without handlers: SIGINT and SIGTERM are blocked in every thread (the threads
// started later inherit the mask) and taken by one thread that waits for them.
#include "app/cli/Cli.h"
#include "app/cli/Console.h"

#include <atomic>
#include <csignal>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace cli {

struct TConsole::TState {
    sigset_t signals{};
    sigset_t previousMask{};
    std::atomic<bool> stopping{false};
    std::thread waiter;
};

TConsole::TConsole(TInterrupt& interrupt) : state(std::make_unique<TState>()) {
    sigemptyset(&state->signals);
    sigaddset(&state->signals, SIGINT);
    sigaddset(&state->signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &state->signals, &state->previousMask);
    state->waiter = std::thread([&interrupt, shared = state.get()] {
        for (;;) {
            int signal = 0;
            if (sigwait(&shared->signals, &signal) != 0) {
                continue;
            }
            if (shared->stopping.load()) {
                return;
            }
            if (interrupt.Requested()) {
                // Asked twice: the user does not want to wait for a clean stop.
                _exit(ExitInterrupted);
            }
            interrupt.Request();
        }
    });
}

TConsole::~TConsole() {
    state->stopping.store(true);
    pthread_kill(state->waiter.native_handle(), SIGTERM);
    state->waiter.join();
    pthread_sigmask(SIG_SETMASK, &state->previousMask, nullptr);
}

} // namespace cli
