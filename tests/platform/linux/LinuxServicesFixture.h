// Runs each test on freshly installed Linux services over a fake tree, with device events
// fed through a socket pair, and puts the previous services back afterwards.
#pragma once

#include "FakeHidTree.h"
#include "platform/SetupHidTypes.h"
#include "platform/linux/LinuxServices.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::linux_backend::testing {

class LinuxServicesTest : public ::testing::Test {
protected:
    using TAdjust = std::function<void(TLinuxOptions&)>;

    // adjust: changes the options before the services are made.
    explicit LinuxServicesTest(const TAdjust& adjust = {}) {
        int pair[2] = {-1, -1};
        if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair) != 0) {
            throw std::runtime_error("no socket pair");
        }
        events_ = pair[0];
        TLinuxOptions options;
        options.Roots = tree_.Roots();
        options.Events = TEventFeed::Socket;
        options.EventSocket = pair[1];
        if (adjust) {
            adjust(options);
        }
        auto services = std::make_unique<TLinuxServices>(std::move(options));
        services_ = services.get();
        previous_ = InstallServices(std::move(services));
    }

    ~LinuxServicesTest() override {
        InstallServices(std::move(previous_));
        close(events_);
    }

    TLinuxServices& Linux() const { return *services_; }
    TFakeHidTree& Tree() { return tree_; }

    // Sends one event in the kernel's format.
    void SendEvent(const std::string& action, const std::string& devPath,
                   const std::string& subsystem = "hidraw") const {
        std::string message = action + "@" + devPath;
        message += '\0';
        for (const std::string& field :
             {"ACTION=" + action, "DEVPATH=" + devPath, "SUBSYSTEM=" + subsystem}) {
            message += field;
            message += '\0';
        }
        ASSERT_EQ(send(events_, message.data(), message.size(), 0),
                  static_cast<ssize_t>(message.size()));
    }

    HANDLE Open(unsigned node, DWORD access, DWORD flags = 0) const {
        return Linux().CreateFileA(tree_.NodePath(node).c_str(), access,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   flags, nullptr);
    }

private:
    TFakeHidTree tree_;
    TLinuxServices* services_ = nullptr;
    std::unique_ptr<TPlatformServices> previous_;
    int events_ = -1;
};

} // namespace platform::linux_backend::testing
