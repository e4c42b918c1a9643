// A HID device made through /dev/uhid for the real-kernel tests: by default the adapter
// (USB bus, 0416:8249, report ID 5 with 7-byte input and output payloads). It logs every
// event the kernel sends it, and the exact bytes of every output report, one line each:
//   created / start / open / close / output 05 00 02 00 00 00 00 00 / destroyed
// Commands come one per line through a FIFO: "input 05 01 02 ..." sends an input report,
// "destroy" removes the device and ends the program; SIGTERM and SIGINT do the same.
// "unplug" removes the device and "plug" creates it again, the program staying (a soak
// plugs and unplugs the same adapter hundreds of times without starting a process each time).
// With --timestamps, each log line starts with the monotonic clock's time in seconds, e.g.
// "12.345678 created" (taken just before the kernel is asked to create the device).
// With --churn-until FILE instead of --control, the device is created and destroyed again
// and again (each time once the kernel has started it) until FILE exists; the log then
// says how often ("cycles N").
// Usage: vuz-uhid-adapter --name NAME --serial SERIAL --log FILE
//                         (--control FIFO | --churn-until FILE) [--vendor HEX] [--product HEX]
//                         [--timestamps]
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/uhid.h>
#include <optional>
#include <poll.h>
#include <span>
#include <string>
#include <string_view>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint8_t kReportDescriptor[] = {
    0x06, 0x00, 0xFF, // Usage Page (vendor 0xFF00)
    0x09, 0x01,       // Usage (1)
    0xA1, 0x01,       // Collection (Application)
    0x85, 0x05,       //   Report ID (5)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x07,       //   Report Count (7)
    0x09, 0x02,       //   Usage (2)
    0x81, 0x02,       //   Input (Data, Variable, Absolute)
    0x09, 0x03,       //   Usage (3)
    0x91, 0x02,       //   Output (Data, Variable, Absolute)
    0xC0,             // End Collection
};

constexpr std::uint16_t kBusUsb = 0x03;

class TFd {
public:
    explicit TFd(int fd = -1) : fd(fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() {
        if (fd >= 0) {
            close(fd);
        }
    }
    int Get() const { return fd; }
    explicit operator bool() const { return fd >= 0; }

private:
    int fd;
};

struct TOptions {
    std::string name;
    std::string serial;
    std::string log;
    std::string control;
    std::string churnUntil;
    std::uint32_t vendor = 0x0416;
    std::uint32_t product = 0x8249;
    bool timestamps = false;
};

std::optional<TOptions> ParseArguments(int argc, char* argv[]) {
    TOptions options;
    for (int i = 1; i < argc;) {
        const std::string_view key = argv[i];
        if (key == "--timestamps") {
            options.timestamps = true;
            ++i;
            continue;
        }
        if (i + 1 >= argc) {
            return std::nullopt;
        }
        const std::string value = argv[i + 1];
        i += 2;
        if (key == "--name") {
            options.name = value;
        } else if (key == "--serial") {
            options.serial = value;
        } else if (key == "--log") {
            options.log = value;
        } else if (key == "--control") {
            options.control = value;
        } else if (key == "--churn-until") {
            options.churnUntil = value;
        } else if (key == "--vendor") {
            options.vendor = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 16));
        } else if (key == "--product") {
            options.product = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 16));
        } else {
            return std::nullopt;
        }
    }
    if (options.log.empty() || options.control.empty() == options.churnUntil.empty()) {
        return std::nullopt;
    }
    return options;
}

class TLog {
public:
    TLog(const std::string& path, bool timestamps)
        : file(std::fopen(path.c_str(), "a")), timestamps(timestamps) {}
    TLog(const TLog&) = delete;
    TLog& operator=(const TLog&) = delete;
    ~TLog() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    explicit operator bool() const { return file != nullptr; }

    // Each line is flushed at once: the test reads the log while the device lives.
    void Line(const std::string& text) { Line(text, Now()); }

    void Line(const std::string& text, const timespec& at) {
        if (timestamps) {
            std::fprintf(file, "%lld.%06ld ", static_cast<long long>(at.tv_sec), at.tv_nsec / 1000);
        }
        std::fprintf(file, "%s\n", text.c_str());
        std::fflush(file);
    }

    void Bytes(const char* what, std::span<const std::uint8_t> data) {
        std::string text = what;
        char hex[4];
        for (const std::uint8_t byte : data) {
            std::snprintf(hex, sizeof hex, " %02X", byte);
            text += hex;
        }
        Line(text);
    }

    static timespec Now() {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return now;
    }

private:
    std::FILE* file;
    bool timestamps;
};

bool Send(int uhid, const uhid_event& event) {
    return write(uhid, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

void CopyText(char* destination, std::size_t size, const std::string& text) {
    std::snprintf(destination, size, "%s", text.c_str());
}

bool Create(int uhid, const TOptions& options) {
    uhid_event event{};
    event.type = UHID_CREATE2;
    auto& create = event.u.create2;
    CopyText(reinterpret_cast<char*>(create.name), sizeof create.name, options.name);
    CopyText(reinterpret_cast<char*>(create.phys), sizeof create.phys, "vuz-uhid-adapter");
    CopyText(reinterpret_cast<char*>(create.uniq), sizeof create.uniq, options.serial);
    create.rd_size = sizeof kReportDescriptor;
    std::memcpy(create.rd_data, kReportDescriptor, sizeof kReportDescriptor);
    create.bus = kBusUsb;
    create.vendor = options.vendor;
    create.product = options.product;
    create.version = 0x0100;
    create.country = 0;
    return Send(uhid, event);
}

bool Destroy(int uhid) {
    uhid_event event{};
    event.type = UHID_DESTROY;
    return Send(uhid, event);
}

// "input 05 01 02": the bytes as given, the report ID first.
bool SendInput(int uhid, std::string_view hex) {
    uhid_event event{};
    event.type = UHID_INPUT2;
    std::vector<std::uint8_t> bytes;
    std::string text(hex);
    char* cursor = text.data();
    while (*cursor != '\0') {
        char* end = nullptr;
        const unsigned long value = std::strtoul(cursor, &end, 16);
        if (end == cursor) {
            break;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
        cursor = end;
    }
    if (bytes.empty() || bytes.size() > sizeof event.u.input2.data) {
        return false;
    }
    event.u.input2.size = static_cast<std::uint16_t>(bytes.size());
    std::memcpy(event.u.input2.data, bytes.data(), bytes.size());
    return Send(uhid, event);
}

// Requests the adapter does not serve are answered at once, so no caller waits for the
// kernel's time-out.
void Refuse(int uhid, const uhid_event& request) {
    uhid_event reply{};
    if (request.type == UHID_GET_REPORT) {
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = request.u.get_report.id;
        reply.u.get_report_reply.err = EIO;
    } else {
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = request.u.set_report.id;
        reply.u.set_report_reply.err = EIO;
    }
    Send(uhid, reply);
}

// Serves every event the kernel has queued; false when the device can no longer be served.
bool ServeKernel(int uhid, TLog& log) {
    for (;;) {
        uhid_event event{};
        const ssize_t got = read(uhid, &event, sizeof event);
        if (got <= 0) {
            return got < 0 && (errno == EAGAIN || errno == EINTR);
        }
        switch (event.type) {
        case UHID_START:
            log.Line("start");
            break;
        case UHID_STOP:
            log.Line("stop");
            break;
        case UHID_OPEN:
            log.Line("open");
            break;
        case UHID_CLOSE:
            log.Line("close");
            break;
        case UHID_OUTPUT:
            log.Bytes("output", {event.u.output.data, event.u.output.size});
            break;
        case UHID_GET_REPORT:
            log.Line("get_report " + std::to_string(event.u.get_report.rnum));
            Refuse(uhid, event);
            break;
        case UHID_SET_REPORT:
            log.Bytes("set_report", {event.u.set_report.data, event.u.set_report.size});
            Refuse(uhid, event);
            break;
        default:
            log.Line("event " + std::to_string(event.type));
            break;
        }
    }
}

// Waits (at most 10 s) until the kernel has started the device just created.
bool WaitForStart(int uhid) {
    for (;;) {
        pollfd fd{uhid, POLLIN, 0};
        if (poll(&fd, 1, 10'000) <= 0) {
            return false;
        }
        uhid_event event{};
        if (read(uhid, &event, sizeof event) > 0 && event.type == UHID_START) {
            return true;
        }
    }
}

int Churn(int uhid, const TOptions& options, TLog& log) {
    int cycles = 0;
    while (access(options.churnUntil.c_str(), F_OK) != 0) {
        if (!Create(uhid, options) || !WaitForStart(uhid) || !Destroy(uhid)) {
            log.Line(std::string("error churning: ") + std::strerror(errno));
            return 1;
        }
        ++cycles;
    }
    log.Line("cycles " + std::to_string(cycles));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::optional<TOptions> options = ParseArguments(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: %s --name NAME --serial SERIAL --log FILE --control FIFO "
                     "[--vendor HEX] [--product HEX] [--timestamps]\n",
                     argv[0]);
        return 64;
    }
    TLog log(options->log, options->timestamps);
    if (!log) {
        std::perror(options->log.c_str());
        return 1;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const TFd signals(signalfd(-1, &stopSignals, SFD_CLOEXEC));
    const TFd uhid(open("/dev/uhid", O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!options->churnUntil.empty()) {
        return uhid ? Churn(uhid.Get(), *options, log) : 1;
    }
    // Read-write, so that the pipe never reads as ended while no writer has it open.
    const TFd control(open(options->control.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!signals || !control || !uhid) {
        log.Line(std::string("error ") + std::strerror(errno));
        return 1;
    }
    timespec createdAt = TLog::Now();
    if (!Create(uhid.Get(), *options)) {
        log.Line(std::string("error create: ") + std::strerror(errno));
        return 1;
    }
    log.Line("created", createdAt);
    bool plugged = true;

    std::string pending;
    bool running = true;
    while (running) {
        pollfd fds[] = {
            {uhid.Get(), POLLIN, 0}, {control.Get(), POLLIN, 0}, {signals.Get(), POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if ((fds[0].revents & POLLIN) != 0 && !ServeKernel(uhid.Get(), log)) {
            log.Line(std::string("error read: ") + std::strerror(errno));
            break;
        }
        if ((fds[2].revents & POLLIN) != 0) {
            break;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            char buffer[512];
            const ssize_t got = read(control.Get(), buffer, sizeof buffer);
            if (got > 0) {
                pending.append(buffer, static_cast<std::size_t>(got));
            }
            std::size_t end;
            while (running && (end = pending.find('\n')) != std::string::npos) {
                const std::string command = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (command == "destroy") {
                    running = false;
                } else if (command == "unplug" && plugged) {
                    // What the kernel queued before the removal belongs to this device.
                    ServeKernel(uhid.Get(), log);
                    plugged = !Destroy(uhid.Get());
                    log.Line(plugged ? std::string("error unplug: ") + std::strerror(errno)
                                     : std::string("destroyed"));
                } else if (command == "plug" && !plugged) {
                    createdAt = TLog::Now();
                    plugged = Create(uhid.Get(), *options);
                    log.Line(plugged ? std::string("created")
                                     : std::string("error plug: ") + std::strerror(errno),
                             createdAt);
                } else if (command.starts_with("input ")) {
                    const bool sent = SendInput(uhid.Get(), std::string_view(command).substr(6));
                    log.Line(std::string(sent ? "sent " : "error sending ") + command.substr(6));
                } else {
                    log.Line("error unknown command: " + command);
                }
            }
        }
    }
    // What the kernel queued before the end is logged too.
    ServeKernel(uhid.Get(), log);
    if (plugged) {
        Destroy(uhid.Get());
        log.Line("destroyed");
    }
    return 0;
}
