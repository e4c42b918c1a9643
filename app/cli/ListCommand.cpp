// list: every HID device the controller sees, in its list order.
#include "app/cli/Commands.h"
#include "app/cli/DeviceInfo.h"
#include "app/cli/Diagnostics.h"
#include "app/cli/Output.h"
#include "runtime/Event.h"

#include <optional>
#include <vector>

namespace cli {

namespace {

class TLister {
public:
    explicit TLister(TSession& session) : session(session), controller(session.Controller()) {}

    ~TLister() {
        const runtime::TLoadingGuard quiet(controller);
        controller.SetOnEnumerate(nullptr);
        controller.SetOnDeviceChange(nullptr);
    }

    TLister(const TLister&) = delete;
    TLister& operator=(const TLister&) = delete;

    // None when the user interrupted the wait for the simulation's start-up.
    std::optional<std::vector<TDeviceInfo>> Devices() {
        // Taking the handler reconciles the controller's list with the devices present.
        controller.SetOnDeviceChange(runtime::MakeEvent<&TLister::OnDeviceChange>(this));
        // The simulated bus gets its adapter a moment after start: the list shows it, as
        // the user is told the simulation has it, once the controller has taken it in.
        if (session.SimulationStarting() &&
            !session.WaitUntil([this] { return simulationStarted; },
                               session.SimulationStartDeadline()) &&
            session.Interrupted()) {
            return std::nullopt;
        }
        controller.SetOnEnumerate(runtime::MakeEvent<&TLister::OnEnumerate>(this));
        controller.Enumerate();
        return std::move(devices);
    }

private:
    void OnDeviceChange(runtime::TComponent* /*Sender*/) {
        simulationStarted = !session.SimulationStarting();
    }

    bool OnEnumerate(hid::THidDevice* device, int /*Idx*/) {
        devices.push_back(DescribeDevice(*device));
        return true;
    }

    TSession& session;
    hid::THidDeviceController& controller;
    bool simulationStarted = false;
    std::vector<TDeviceInfo> devices;
};

} // namespace

int ListDevices(TSession& session, const TArguments& arguments, std::ostream& out,
                std::ostream& err) {
    const std::optional<std::vector<TDeviceInfo>> listed = TLister(session).Devices();
    if (!listed) {
        err << "Interrupted.\n";
        return ExitInterrupted;
    }
    const std::vector<TDeviceInfo>& devices = *listed;
    TOutput output(out);
    if (arguments.Json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const TDeviceInfo& device : devices) {
            list.push_back(DeviceJson(device));
        }
        output.Write(DumpJson(list, 2) + '\n');
    } else {
        for (const TDeviceInfo& device : devices) {
            if (!output.Write(FormatDevice(device) + '\n')) {
                break;
            }
        }
    }
    if (output.Failed()) {
        return OutputFailed(err);
    }
    for (const TDeviceInfo& device : devices) {
        if (device.IsAdapter && !device.ReadWrite) {
            if (const std::string hint = AccessHint(device.Path); !hint.empty()) {
                err << hint << '\n';
            }
        }
    }
    return 0;
}

} // namespace cli
