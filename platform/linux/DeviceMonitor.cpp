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

    TReceived Receive() override {
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
        if (n < 0 && errno == ENOBUFS) {
            return TReceived::Lost(); // the socket's queue overran: events were dropped
        }
        if (n <= 0 || (message.msg_flags & MSG_TRUNC) != 0) {
            return TReceived::Nothing();
        }
        // Only the kernel may speak on its group; anything else is ignored.
        if (kernelOnly_ && sender.nl_pid != 0) {
            return TReceived::Nothing();
        }
        std::optional<TUevent> event =
            ParseUevent(std::span<const char>(buffer_.data(), static_cast<std::size_t>(n)));
        return event ? TReceived::Of(std::move(*event)) : TReceived::Nothing();
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

TDeviceMonitor::TDeviceMonitor(std::unique_ptr<TEventSource> source, THandler handler,
                               TLostHandler lost)
    : source_(std::move(source)), handler_(std::move(handler)), lost_(std::move(lost)),
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
        const short ready = fds[1].revents;
        if ((ready & POLLNVAL) != 0) {
            return;
        }
        if ((ready & (POLLIN | POLLERR)) != 0) {
            // A source may hold several events per wake-up. A socket whose queue overran
            // reports it as an error (with or without data waiting); taking the error clears it.
            bool received = false;
            bool lost = false;
            for (TReceived next = source_->Receive(); next.Kind != TReceived::TKind::Nothing;
                 next = source_->Receive()) {
                received = true;
                if (next.Kind == TReceived::TKind::Lost) {
                    lost = true;
                } else if (IsHidrawNodeChange(next.Event)) {
                    handler_(next.Event);
                }
            }
            if (lost && lost_) {
                lost_();
            }
            if ((ready & POLLIN) == 0 && !received) {
                return; // an error that is no overrun: the source is broken
            }
        } else if ((ready & POLLHUP) != 0) {
            return; // the other end is gone and nothing is left to read
        }
    }
}

} // namespace platform::linux_backend
