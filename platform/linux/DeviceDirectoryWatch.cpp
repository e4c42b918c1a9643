// hidraw nodes appearing in and leaving the device directory, seen through inotify: the
// source of device events when neither udevd's nor the kernel's socket can be had (a
// sandbox, a container). The node appears after its sysfs entry and leaves before it, so
// an added node's sysfs path is looked up at once and remembered for its removal.
#include "platform/linux/DeviceMonitor.h"
#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <deque>
#include <map>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

namespace platform::linux_backend {

namespace {

constexpr std::uint32_t kAppear = IN_CREATE | IN_MOVED_TO;
constexpr std::uint32_t kLeave = IN_DELETE | IN_MOVED_FROM;
// Room for many events: a burst of plugs must not need one wake-up each.
constexpr std::size_t kBufferSize = 64 * (sizeof(inotify_event) + NAME_MAX + 1);

class TDeviceDirectoryWatch : public TEventSource {
public:
    TDeviceDirectoryWatch(TUniqueFd fd, TLinuxRoots roots) : fd_(std::move(fd)), roots_(roots) {
        for (THidrawNode& node : ListHidrawNodes(roots_)) {
            known_[node.Name] = std::move(node.DevPath);
        }
    }

    int Fd() const override { return fd_.Get(); }

    TReceived Receive() override {
        if (queued_.empty() && !overflowed_) {
            ReadEvents();
        }
        if (overflowed_) {
            overflowed_ = false;
            return TReceived::Lost();
        }
        if (queued_.empty()) {
            return TReceived::Nothing();
        }
        TUevent event = std::move(queued_.front());
        queued_.pop_front();
        return TReceived::Of(std::move(event));
    }

private:
    void ReadEvents() {
        alignas(inotify_event) char buffer[kBufferSize];
        const ssize_t n = read(fd_.Get(), buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        for (std::size_t at = 0; at + sizeof(inotify_event) <= static_cast<std::size_t>(n);) {
            const auto* raw = reinterpret_cast<const inotify_event*>(buffer + at);
            at += sizeof(inotify_event) + raw->len;
            if ((raw->mask & IN_Q_OVERFLOW) != 0) {
                // Events were dropped: what is known is read again, and the loss is told.
                known_.clear();
                for (THidrawNode& node : ListHidrawNodes(roots_)) {
                    known_[node.Name] = std::move(node.DevPath);
                }
                overflowed_ = true;
                continue;
            }
            if (raw->len == 0 || (raw->mask & (kAppear | kLeave)) == 0) {
                continue;
            }
            const std::string name(raw->name);
            if ((raw->mask & kAppear) != 0) {
                Appeared(name);
            } else {
                Left(name);
            }
        }
    }

    void Appeared(const std::string& name) {
        const std::optional<THidrawNode> node = FindHidrawNode(roots_, name);
        if (!node) {
            return; // not a hidraw node, or gone again already
        }
        known_[name] = node->DevPath;
        queued_.push_back({"add", node->DevPath, "hidraw", name});
    }

    void Left(const std::string& name) {
        const auto found = known_.find(name);
        if (found == known_.end()) {
            return;
        }
        queued_.push_back({"remove", found->second, "hidraw", name});
        known_.erase(found);
    }

    TUniqueFd fd_;
    TLinuxRoots roots_;
    std::map<std::string, std::string> known_; // node name -> sysfs path
    std::deque<TUevent> queued_;
    bool overflowed_ = false;
};

} // namespace

std::unique_ptr<TEventSource> WatchDeviceDirectory(const TLinuxRoots& roots) {
    TUniqueFd fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd || inotify_add_watch(fd.Get(), roots.Dev.c_str(), kAppear | kLeave) < 0) {
        return nullptr;
    }
    return std::make_unique<TDeviceDirectoryWatch>(std::move(fd), roots);
}

} // namespace platform::linux_backend
