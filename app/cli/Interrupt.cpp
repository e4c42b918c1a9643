#include "app/cli/Interrupt.h"

#include "app/cli/WaitLoop.h"

namespace cli {

void TInterrupt::Request() {
    requested.store(true);
    WakeWaitLoop();
}

} // namespace cli
