// list: every HID device the controller sees, in its list order.
#include "app/cli/Commands.h"
#include "app/cli/DeviceInfo.h"
#include "app/cli/Diagnostics.h"
#include "app/cli/Output.h"
#include "runtime/Event.h"

#include <vector>

namespace cli {

namespace {

class TLister {
public:
    explicit TLister(hid::THidDeviceController& controller) : controller(controller) {}

    std::vector<TDeviceInfo> Devices() {
        // Taking the handler reconciles the controller's list with the devices present.
        controller.SetOnDeviceChange(runtime::MakeEvent<&TLister::OnDeviceChange>(this));
        controller.SetOnEnumerate(runtime::MakeEvent<&TLister::OnEnumerate>(this));
        controller.Enumerate();
        const runtime::TLoadingGuard quiet(controller);
        controller.SetOnEnumerate(nullptr);
        controller.SetOnDeviceChange(nullptr);
        return std::move(devices);
    }

private:
    void OnDeviceChange(runtime::TComponent* /*Sender*/) {}

    bool OnEnumerate(hid::THidDevice* device, int /*Idx*/) {
        devices.push_back(DescribeDevice(*device));
        return true;
    }

    hid::THidDeviceController& controller;
    std::vector<TDeviceInfo> devices;
};

} // namespace

int ListDevices(TSession& session, const TArguments& arguments, std::ostream& out,
                std::ostream& err) {
    const std::vector<TDeviceInfo> devices = TLister(session.Controller()).Devices();
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
