// udevd's events through libudev's monitor, when the build has libudev.
#include "platform/linux/DeviceMonitor.h"

#ifdef VUZ_HAVE_LIBUDEV

#include <cerrno>
#include <libudev.h>
#include <utility>

namespace platform::linux_backend {

namespace {

class TUdevEvents : public TEventSource {
public:
    TUdevEvents(udev* context, udev_monitor* monitor) : udev_(context), monitor_(monitor) {}
    ~TUdevEvents() override {
        udev_monitor_unref(monitor_);
        udev_unref(udev_);
    }
    TUdevEvents(const TUdevEvents&) = delete;
    TUdevEvents& operator=(const TUdevEvents&) = delete;

    int Fd() const override { return udev_monitor_get_fd(monitor_); }

    TReceived Receive() override {
        errno = 0;
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (device == nullptr) {
            // The monitor's socket overran in a burst: udevd's events were dropped.
            return errno == ENOBUFS ? TReceived::Lost() : TReceived::Nothing();
        }
        const auto text = [](const char* value) {
            return value != nullptr ? value : "";
        };
        TUevent event;
        event.Action = text(udev_device_get_action(device));
        event.DevPath = text(udev_device_get_devpath(device));
        event.Subsystem = text(udev_device_get_subsystem(device));
        event.DevName = text(udev_device_get_sysname(device));
        udev_device_unref(device);
        return TReceived::Of(std::move(event));
    }

private:
    udev* udev_;
    udev_monitor* monitor_;
};

} // namespace

std::unique_ptr<TEventSource> OpenUdevEvents() {
    udev* context = udev_new();
    if (context == nullptr) {
        return nullptr;
    }
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor != nullptr) {
            udev_monitor_unref(monitor);
        }
        udev_unref(context);
        return nullptr;
    }
    return std::make_unique<TUdevEvents>(context, monitor);
}

} // namespace platform::linux_backend

#else

namespace platform::linux_backend {

std::unique_ptr<TEventSource> OpenUdevEvents() {
    return nullptr;
}

} // namespace platform::linux_backend

#endif
