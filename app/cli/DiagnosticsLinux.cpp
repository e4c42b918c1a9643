#include "app/cli/Diagnostics.h"
#include "platform/linux/LinuxServices.h"

#include <filesystem>
#include <system_error>

namespace cli {

std::optional<std::string> MissingHidSupport() {
    const auto* services = platform::linux_backend::TLinuxServices::Installed();
    if (services == nullptr) {
        return std::nullopt;
    }
    const std::string classDir = services->Roots().Sysfs + "/class/hidraw";
    std::error_code error;
    if (std::filesystem::is_directory(classDir, error)) {
        return std::nullopt;
    }
    return classDir + " does not exist: this kernel has no hidraw support (CONFIG_HIDRAW), or the "
                      "hidraw module is not loaded (try: sudo modprobe hidraw), or sysfs is not "
                      "mounted. Without it no HID device can be seen.";
}

std::string AccessHint(const std::string& devicePath) {
    if (platform::linux_backend::TLinuxServices::Installed() == nullptr) {
        return {};
    }
    return "Permission denied on " + devicePath +
           ": the device cannot be opened for reading and writing.\n"
           "Install the udev rule packaging/70-vuz-utility.rules, which gives the logged-in "
           "user access to the adapter:\n"
           "    sudo cp packaging/70-vuz-utility.rules /etc/udev/rules.d/\n"
           "    sudo udevadm control --reload-rules && sudo udevadm trigger\n"
           "then unplug and replug the adapter (cmake --install also installs the rule, "
           "into <prefix>/lib/udev/rules.d).";
}

} // namespace cli
