// Preloaded into a program under test (LD_PRELOAD) to hold it right after it binds its
// device-event socket (netlink: the kernel's uevents or udev's), so that a test can plug a
// device at that point of its start-up: the device's event is then waiting in the socket.
// With VUZ_EVENT_GATE=DIR, the first such bind writes DIR/bound and waits (at most a minute)
// until DIR/go exists; then the program goes on unchanged.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <linux/netlink.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>

namespace {

std::atomic<bool> held{false};

void Hold(const char* dir) {
    const std::string bound = std::string(dir) + "/bound";
    if (std::FILE* stream = std::fopen(bound.c_str(), "w")) {
        std::fclose(stream);
    }
    const std::string go = std::string(dir) + "/go";
    struct stat info {};
    const timespec pause{0, 50'000'000};
    for (int i = 0; i < 1200 && stat(go.c_str(), &info) != 0; ++i) {
        nanosleep(&pause, nullptr);
    }
}

bool IsEventSocket(int socket) {
    int protocol = 0;
    socklen_t size = sizeof protocol;
    return getsockopt(socket, SOL_SOCKET, SO_PROTOCOL, &protocol, &size) == 0 &&
           protocol == NETLINK_KOBJECT_UEVENT;
}

} // namespace

extern "C" int bind(int socket, const sockaddr* address, socklen_t length) {
    using Real = int (*)(int, const sockaddr*, socklen_t);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "bind"));
    const int result = real(socket, address, length);
    const char* dir = std::getenv("VUZ_EVENT_GATE");
    if (result == 0 && dir != nullptr && address != nullptr && address->sa_family == AF_NETLINK &&
        IsEventSocket(socket) && !held.exchange(true)) {
        Hold(dir);
    }
    return result;
}
