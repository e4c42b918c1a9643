#include "app/cli/Session.h"

#include "app/cli/Interrupt.h"
#include "app/core/QueueTimer.h"
#include "app/demo/DemoDevices.h"
#include "platform/sim/SimBus.h"

namespace cli {

namespace {

// The adapter's timer runs on this loop and is late only by what the loop has to serve.
constexpr std::chrono::seconds SimulationStartMargin{5};

} // namespace

TSession::TSession(const TCliContext& context, bool simulated) : context(context) {
    if (simulated) {
        auto bus = std::make_unique<platform::sim::TSimBus>();
        platform::sim::TSimBus& simBus = *bus;
        previousServices = platform::InstallServices(std::move(bus));
        servicesInstalled = true;
        demo::PlugStandingDevices(simBus);
        demoAdapter = std::make_unique<demo::TDemoAdapter>(
            simBus, [] { return std::make_unique<app::TQueueTimer>(); });
        demoAdapter->ArriveSoon();
        simulationStartDeadline = std::chrono::steady_clock::now() +
                                  std::chrono::milliseconds(demo::AdapterArrivalMs) +
                                  SimulationStartMargin;
    } else if (context.Services == TServicesChoice::Native) {
        previousServices = platform::InstallServices(platform::CreateNativeServices());
        servicesInstalled = true;
    }
    controller = std::make_unique<hid::THidDeviceController>();
}

TSession::~TSession() {
    controller.reset();
    demoAdapter.reset();
    // Calls still queued for the main thread (timer ticks, device-change messages) find
    // their targets gone and do nothing; serve them while the services are still there.
    loop.ServePending();
    if (servicesInstalled) {
        platform::InstallServices(std::move(previousServices));
    }
}

bool TSession::HidAvailable() const {
    return controller->NotifyWindow() != nullptr;
}

bool TSession::SimulationStarting() const {
    return demoAdapter != nullptr && !demoAdapter->IsPresent();
}

bool TSession::Interrupted() const {
    return context.Interrupt != nullptr && context.Interrupt->Requested();
}

bool TSession::WaitUntil(const std::function<bool()>& done, TDeadline deadline) {
    if (context.OnWaiting) {
        context.OnWaiting();
    }
    loop.ServeUntil([&] { return done() || Interrupted(); }, deadline);
    return done();
}

} // namespace cli
