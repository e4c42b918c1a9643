// The terminal the program runs in: Ctrl+C (and a request to terminate) becomes an
// interrupt for the wait loop; a second one while the program winds down ends it at once.
// Create before any other thread starts, destroy after they have ended.
#pragma once

#include "app/cli/Interrupt.h"

#include <memory>

namespace cli {

class TConsole {
public:
    explicit TConsole(TInterrupt& interrupt);
    ~TConsole();
    TConsole(const TConsole&) = delete;
    TConsole& operator=(const TConsole&) = delete;

private:
    struct TState;
    std::unique_ptr<TState> state;
};

} // namespace cli
