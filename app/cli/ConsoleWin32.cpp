// Ctrl+C and Ctrl+Break arrive on a thread the system starts for them. (Closing the console
// ends the process whatever a handler does; the system then releases everything.) Output is
// UTF-8, as device strings may hold any character.
#include "app/cli/Cli.h"
#include "app/cli/Console.h"

#include <atomic>
#include <windows.h>

namespace cli {

namespace {

std::atomic<TInterrupt*> consoleInterrupt{nullptr};

BOOL WINAPI OnConsoleControl(DWORD event) {
    TInterrupt* interrupt = consoleInterrupt.load();
    if (interrupt == nullptr) {
        return FALSE;
    }
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        if (interrupt->Requested()) {
            // Asked twice: the user does not want to wait for a clean stop.
            ::ExitProcess(ExitInterrupted);
        }
        interrupt->Request();
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

struct TConsole::TState {
    UINT previousOutputCodePage = 0;
};

TConsole::TConsole(TInterrupt& interrupt) : state(std::make_unique<TState>()) {
    state->previousOutputCodePage = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
    consoleInterrupt.store(&interrupt);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

TConsole::~TConsole() {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    consoleInterrupt.store(nullptr);
    if (state->previousOutputCodePage != 0) {
        ::SetConsoleOutputCP(state->previousOutputCodePage);
    }
}

} // namespace cli
