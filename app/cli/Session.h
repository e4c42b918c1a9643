// One run's world: the platform services (the system's, a simulated bus with the demo's
// devices, or those installed already), the HID controller on them and the wait loop.
// It ends in the order a clean stop needs: the controller (which ends the read threads of
// what it lent and releases the HID libraries) before the services go. Whatever a command
// borrows from the controller it must give back before the session ends.
#pragma once

#include "app/cli/Cli.h"
#include "app/cli/WaitLoop.h"
#include "hid/HidDeviceController.h"
#include "platform/PlatformServices.h"

#include <functional>
#include <memory>

namespace demo {
class TDemoAdapter;
}

namespace cli {

class TSession {
public:
    TSession(const TCliContext& context, bool simulated);
    ~TSession();
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    hid::THidDeviceController& Controller() const { return *controller; }
    TWaitLoop& Loop() { return loop; }
    const TCliContext& Context() const { return context; }
    // Whether the controller could bind the system's HID libraries.
    bool HidAvailable() const;

    // On the simulated bus, until the demo's adapter has been plugged in (a moment after
    // start): not everything the simulation is said to have is there yet.
    bool SimulationStarting() const;
    // When waiting for the simulation's start-up gives up, well after the adapter is due.
    TDeadline SimulationStartDeadline() const { return simulationStartDeadline; }

    bool Interrupted() const;
    // Serves events until done() holds, the user interrupts or the deadline passes;
    // returns done(). Tells the context that waiting begins.
    bool WaitUntil(const std::function<bool()>& done, TDeadline deadline);

private:
    const TCliContext& context;
    TWaitLoop loop;
    bool servicesInstalled = false;
    std::unique_ptr<platform::TPlatformServices> previousServices;
    std::unique_ptr<demo::TDemoAdapter> demoAdapter;
    TDeadline simulationStartDeadline;
    std::unique_ptr<hid::THidDeviceController> controller;
};

} // namespace cli
