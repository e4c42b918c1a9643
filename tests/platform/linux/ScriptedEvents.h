// An event source the test fills: events, and the word that events were lost, as a socket
// that overran in a burst gives it. Its descriptor is readable while something is queued.
#pragma once

#include "platform/linux/DeviceMonitor.h"

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform::linux_backend::testing {

class TEventScript {
public:
    TEventScript() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (fd_ < 0) {
            throw std::runtime_error("no eventfd");
        }
    }
    ~TEventScript() { close(fd_); }
    TEventScript(const TEventScript&) = delete;
    TEventScript& operator=(const TEventScript&) = delete;

    // Any thread.
    void Push(TReceived received) {
        std::lock_guard lock(mutex_);
        queued_.push_back(std::move(received));
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
    }
    void Lose() { Push(TReceived::Lost()); }
    // All at once: read in one wake-up of the monitor.
    void PushAll(std::initializer_list<TReceived> all) {
        std::lock_guard lock(mutex_);
        queued_.insert(queued_.end(), all.begin(), all.end());
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
    }

    int Fd() const { return fd_; }

    TReceived Take() {
        std::lock_guard lock(mutex_);
        if (queued_.empty()) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t read = ::read(fd_, &count, sizeof count);
            return TReceived::Nothing();
        }
        TReceived next = std::move(queued_.front());
        queued_.pop_front();
        return next;
    }

private:
    int fd_;
    std::mutex mutex_;
    std::deque<TReceived> queued_;
};

class TScriptedEvents : public TEventSource {
public:
    explicit TScriptedEvents(std::shared_ptr<TEventScript> script) : script_(std::move(script)) {}
    int Fd() const override { return script_->Fd(); }
    TReceived Receive() override { return script_->Take(); }

private:
    std::shared_ptr<TEventScript> script_;
};

// Options that take the services' events from the script.
inline void UseScript(TLinuxOptions& options, const std::shared_ptr<TEventScript>& script) {
    options.Events = TEventFeed::Kernel;
    options.OpenKernelEvents = [script] {
        return std::make_unique<TScriptedEvents>(script);
    };
}

} // namespace platform::linux_backend::testing
