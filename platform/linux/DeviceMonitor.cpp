#include "platform/linux/DeviceMonitor.h"

#include <cerrno>
#include <cstdint>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace platform::linux_backend {

namespace {

constexpr unsigned kKernelEventGroup = 1;
// Larger than any event the kernel sends (its own limit is 2 KiB of variables).
constexpr std::size_t kMaxEventSize = 16 * 1024;

class TUeventSocket : public TEventSource {
public:
    TUeventSocket(int fd, bool kernelOnly) : fd_(fd), kernelOnly_(kernelOnly) {}
    ~TUeventSocket() override { close(fd_); }
    TUeventSocket(const TUeventSocket&) = delete;
    TUeventSocket& operator=(const TUeventSocket&) = delete;

    int Fd() const override { return fd_; }

    std::optional<TUevent> Receive() override {
        sockaddr_nl sender{};
        iovec part{buffer_.data(), buffer_.size()};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        if (kernelOnly_) {
            message.msg_name = &sender;
            message.msg_namelen = sizeof sender;
        }
        const ssize_t n = recvmsg(fd_, &message, MSG_DONTWAIT);
        if (n <= 0 || (message.msg_flags & MSG_TRUNC) != 0) {
            return std::nullopt;
        }
        // Only the kernel may speak on its group; anything else is ignored.
        if (kernelOnly_ && sender.nl_pid != 0) {
            return std::nullopt;
        }
        return ParseUevent(std::span<const char>(buffer_.data(), static_cast<std::size_t>(n)));
    }

private:
    int fd_;
    bool kernelOnly_;
    std::vector<char> buffer_ = std::vector<char>(kMaxEventSize);
};

} // namespace

std::unique_ptr<TEventSource> OpenKernelEvents() {
    const int fd =
        socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) {
        return nullptr;
    }
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kKernelEventGroup;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<TUeventSocket>(fd, true);
}

std::unique_ptr<TEventSource> EventsFromSocket(int fd) {
    if (fd < 0) {
        return nullptr;
    }
    return std::make_unique<TUeventSocket>(fd, false);
}

bool UdevRuns(const TLinuxRoots& roots) {
    return access((roots.Run + "/udev/control").c_str(), F_OK) == 0;
}

TDeviceMonitor::TDeviceMonitor(std::unique_ptr<TEventSource> source, THandler handler)
    : source_(std::move(source)), handler_(std::move(handler)),
      stop_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (source_ && stop_ >= 0) {
        thread_ = std::thread([this] { Run(); });
    }
}

TDeviceMonitor::~TDeviceMonitor() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(stop_, &one, sizeof one);
        thread_.join();
    }
    if (stop_ >= 0) {
        close(stop_);
    }
}

void TDeviceMonitor::Run() {
    for (;;) {
        pollfd fds[2] = {{stop_, POLLIN, 0}, {source_->Fd(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        if ((fds[1].revents & (POLLERR | POLLNVAL)) != 0 && (fds[1].revents & POLLIN) == 0) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            // A source may hold several events per wake-up.
            while (const std::optional<TUevent> event = source_->Receive()) {
                if (IsHidrawNodeChange(*event)) {
                    handler_(*event);
                }
            }
        } else if ((fds[1].revents & POLLHUP) != 0) {
            return; // the other end is gone and nothing is left to read
        }
    }
}

} // namespace platform::linux_backend
