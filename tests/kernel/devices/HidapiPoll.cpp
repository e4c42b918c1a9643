// The yardstick for the speed scenario: what a script built on hidapi does to program the
// adapter, which hidapi cannot wait for (it has no hot-plug): every 100 ms it enumerates,
// opens the first 0416:8249 device and writes 05 00 02 padded to 8 bytes. Prints "polling"
// on stderr once it polls; ends 0 after a whole write, 1 when the write fails, 2 when no
// adapter came within the given seconds.
// Usage: vuz-hidapi-poll SECONDS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <hidapi/hidapi.h>
#include <memory>
#include <thread>

namespace {

struct TExit {
    ~TExit() { hid_exit(); }
};

struct TClose {
    void operator()(hid_device* device) const { hid_close(device); }
};

struct TFreeList {
    void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SECONDS\n", argv[0]);
        return 64;
    }
    if (hid_init() != 0) {
        std::fprintf(stderr, "hid_init failed\n");
        return 1;
    }
    const TExit exit;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[1]));
    std::fprintf(stderr, "polling\n");
    while (std::chrono::steady_clock::now() < deadline) {
        const std::unique_ptr<hid_device_info, TFreeList> list(hid_enumerate(0x0416, 0x8249));
        if (list) {
            const std::unique_ptr<hid_device, TClose> device(hid_open_path(list->path));
            if (!device) {
                std::fprintf(stderr, "cannot open %s\n", list->path);
                return 1;
            }
            const unsigned char report[8] = {0x05, 0x00, 0x02};
            const int written = hid_write(device.get(), report, sizeof report);
            if (written != static_cast<int>(sizeof report)) {
                std::fprintf(stderr, "write failed (%d)\n", written);
                return 1;
            }
            std::printf("written to %s\n", list->path);
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::fprintf(stderr, "no adapter\n");
    return 2;
}
