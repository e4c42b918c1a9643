// Watches for device events on a thread of its own and hands each hidraw node change to a
// handler (on that thread; the handler never runs application code, it posts).
#pragma once

#include "platform/linux/SysfsHidraw.h"
#include "platform/linux/Uevent.h"

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

namespace platform::linux_backend {

// What one receive gave: an event, nothing (no message waiting, or one that is no event), or
// word that events were lost (the queue overran in a burst; which ones is unknown).
struct TReceived {
    enum class TKind { Nothing, Event, Lost };
    TKind Kind = TKind::Nothing;
    TUevent Event;

    static TReceived Nothing() { return {}; }
    static TReceived Lost() { return {TKind::Lost, {}}; }
    static TReceived Of(TUevent event) { return {TKind::Event, std::move(event)}; }
};

// Where events come from: a descriptor that becomes readable, and a way to take one event.
class TEventSource {
public:
    virtual ~TEventSource() = default;
    virtual int Fd() const = 0;
    // Called until it gives nothing each time the descriptor is readable (or in error).
    virtual TReceived Receive() = 0;
};

// The kernel's events (NETLINK_KOBJECT_UEVENT); null when the socket cannot be had.
std::unique_ptr<TEventSource> OpenKernelEvents();

// Events in the kernel's format read from a datagram socket the caller hands over (tests
// feed one end of a socket pair).
std::unique_ptr<TEventSource> EventsFromSocket(int fd);

// udevd's events, sent after its rules have run (so a new node already has the rule's
// permissions); null when libudev is not available or its monitor cannot be had.
std::unique_ptr<TEventSource> OpenUdevEvents();

// hidraw nodes appearing in and leaving the device directory (inotify), for when neither
// udevd's nor the kernel's events can be had; null when the directory cannot be watched.
std::unique_ptr<TEventSource> WatchDeviceDirectory(const TLinuxRoots& roots);

// Whether udevd runs (its control socket exists below the run root).
bool UdevRuns(const TLinuxRoots& roots);

class TDeviceMonitor {
public:
    using THandler = std::function<void(const TUevent&)>;
    using TLostHandler = std::function<void()>;

    // lost: called once for each wake-up in which the source said events were lost.
    TDeviceMonitor(std::unique_ptr<TEventSource> source, THandler handler, TLostHandler lost);
    ~TDeviceMonitor();
    TDeviceMonitor(const TDeviceMonitor&) = delete;
    TDeviceMonitor& operator=(const TDeviceMonitor&) = delete;

private:
    void Run();

    std::unique_ptr<TEventSource> source_;
    THandler handler_;
    TLostHandler lost_;
    int stop_ = -1; // eventfd
    std::thread thread_;
};

} // namespace platform::linux_backend
