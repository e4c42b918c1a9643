// Signals without handlers: SIGINT and SIGTERM are blocked in every thread (the threads
// started later inherit the mask) and taken by one thread that waits for them.
// A standard stream the parent left closed is held by /dev/null opened for reading only:
// no file the program opens later takes its number, and writes to it still fail.
#include "app/cli/Cli.h"
#include "app/cli/Console.h"

#include <array>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace cli {

struct TConsole::TState {
    std::array<int, 3> heldStreams{-1, -1, -1};
    sigset_t signals{};
    sigset_t previousMask{};
    std::atomic<bool> stopping{false};
    std::thread waiter;
};

TConsole::TConsole(TInterrupt& interrupt) : state(std::make_unique<TState>()) {
    // The lowest free number is taken first: closed streams are filled in order.
    for (int stream = 0; stream < 3; ++stream) {
        if (fcntl(stream, F_GETFD) == -1) {
            const int held = open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (held == stream) {
                state->heldStreams.at(static_cast<std::size_t>(stream)) = held;
            } else if (held != -1) {
                close(held);
            }
        }
    }
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
    for (const int held : state->heldStreams) {
        if (held != -1) {
            close(held);
        }
    }
}

} // namespace cli
