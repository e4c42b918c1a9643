#include "platform/linux/LinuxServices.h"

namespace platform {

std::unique_ptr<TPlatformServices> CreateNativeServices() {
    return std::make_unique<linux_backend::TLinuxServices>();
}

} // namespace platform
