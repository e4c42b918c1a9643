// vuz-cli on the Linux backend over a fake sysfs and /dev whose hidraw nodes are
// pseudo-terminals: the bytes the command writes arrive at the node's other side.
#include "FakeHidTree.h"
#include "LinuxServicesFixture.h"
#include "ScriptedEvents.h"
#include "app/cli/Cli.h"
#include "app/cli/Interrupt.h"
#include "runtime/MainThreadQueue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

namespace clitest {
namespace {

using platform::linux_backend::testing::LinuxServicesTest;
using platform::linux_backend::testing::TFakeDevice;
using testing::ElementsAre;
using testing::HasSubstr;

TFakeDevice Unopenable() {
    TFakeDevice device;
    device.Unopenable = true;
    return device;
}

// Standard output that tells when its first line is complete: the moment the program has
// said what it found, before it acts on it. (A single character can be put without a virtual
// call; the program flushes each line or writes it whole.)
class TFirstLineBuffer : public std::stringbuf {
public:
    std::function<void()> OnFirstLine;

protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        const std::streamsize put = std::stringbuf::xsputn(text, count);
        Check();
        return put;
    }
    int_type overflow(int_type c) override {
        const int_type put = std::stringbuf::overflow(c);
        Check();
        return put;
    }
    int sync() override {
        Check();
        return std::stringbuf::sync();
    }

private:
    void Check() {
        if (OnFirstLine && str().find('\n') != std::string::npos) {
            std::exchange(OnFirstLine, nullptr)();
        }
    }
};

class CliOnLinux : public LinuxServicesTest {
protected:
    CliOnLinux() = default;
    explicit CliOnLinux(const TAdjust& adjust) : LinuxServicesTest(adjust) {}

    int Run(const std::vector<std::string>& args, cli::TInterrupt* interrupt = nullptr) {
        cli::TCliContext context;
        context.Services = cli::TServicesChoice::Installed;
        context.Interrupt = interrupt;
        context.OnWaiting = onWaiting;
        return cli::RunCli(args, out, err, context);
    }

    std::function<void()> onWaiting;
    TFirstLineBuffer outBuffer;
    std::ostream out{&outBuffer};
    std::ostringstream err;
};

TEST_F(CliOnLinux, ProgramWritesTheCommandToTheNode) {
    TFakeDevice keyboard;
    keyboard.VendorID = 0x046D;
    keyboard.ProductID = 0xC31C;
    keyboard.Serial = std::nullopt;
    Tree().Plug(keyboard);
    const unsigned node = Tree().Plug();
    EXPECT_EQ(Run({"program"}), 0) << err.str();
    EXPECT_EQ(outBuffer.str(), "ZEM VUZ A1B2C3 is connected.\nKVM Programmer is enabled.\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_THAT(Tree().Drain(node, 8), ElementsAre(0x05, 0x00, 0x02, 0, 0, 0, 0, 0));
}

TEST_F(CliOnLinux, ProgramWaitsForTheDeviceEvent) {
    unsigned node = 0;
    onWaiting = [&] {
        node = Tree().Plug();
        SendEvent("add", Tree().DevPath(node));
    };
    EXPECT_EQ(Run({"program", "--wait", "30"}), 0) << err.str();
    EXPECT_EQ(outBuffer.str(), "ZEM VUZ A1B2C3 is connected.\nKVM Programmer is enabled.\n");
    EXPECT_THAT(Tree().Drain(node, 8), ElementsAre(0x05, 0x00, 0x02, 0, 0, 0, 0, 0));
}

TEST_F(CliOnLinux, ANodeWithoutReadWriteAccessNamesTheUdevRule) {
    Tree().Plug(Unopenable());
    EXPECT_EQ(Run({"program"}), 2);
    EXPECT_EQ(outBuffer.str(), "ZEM VUZ A1B2C3 is connected.\n");
    EXPECT_THAT(err.str(), testing::StartsWith("WRITE ERROR: Access is denied (5)\n"
                                               "Permission denied on "));
    EXPECT_THAT(err.str(), HasSubstr("packaging/70-vuz-utility.rules"));
    EXPECT_THAT(err.str(), HasSubstr("sudo udevadm control --reload-rules"));
}

// The adapter leaves between being found and the write; the kernel may give its node to
// another device at once. Nothing is written anywhere, the error says the device is gone, and
// no access advice is given: access was never refused.
TEST_F(CliOnLinux, AnAdapterThatLeavesBeforeTheWriteGetsNothingWrittenAndNoAccessAdvice) {
    for (const bool successor : {false, true}) {
        SCOPED_TRACE(successor ? "another device takes its node" : "its node goes");
        outBuffer.str("");
        err.str("");
        TFakeDevice adapter;
        adapter.Serial = "AAAA";
        const unsigned node = Tree().Plug(adapter, 0);
        outBuffer.OnFirstLine = [&] {
            Tree().Unplug(node);
            if (successor) {
                TFakeDevice other;
                other.Serial = "BBBB";
                Tree().Plug(other, node);
            }
        };
        EXPECT_EQ(Run({"program", "--serial", "AAAA"}), 2);
        EXPECT_EQ(outBuffer.str(), "ZEM VUZ AAAA is connected.\n");
        EXPECT_EQ(err.str(), "WRITE ERROR: The device is not connected (48F)\n");
        if (successor) {
            EXPECT_THAT(Tree().Drain(node, 1), testing::IsEmpty());
            Tree().Unplug(node);
        }
    }
}

// The serial is read from sysfs, never from the device's string requests: a serial that
// starts with the character of the US English language ID is a serial like any other.
TEST_F(CliOnLinux, ASerialStartingLikeALanguageIdIsKept) {
    TFakeDevice adapter;
    adapter.Serial = "\u0409"
                     "123";
    const unsigned node = Tree().Plug(adapter);
    EXPECT_EQ(Run({"list", "--json"}), 0) << err.str();
    EXPECT_THAT(outBuffer.str(), HasSubstr("\"serial\": \"\u0409"
                                           "123\""));
    outBuffer.str("");
    EXPECT_EQ(Run({"program", "--serial",
                   "\u0409"
                   "123"}),
              0)
        << err.str();
    EXPECT_EQ(outBuffer.str(), "ZEM VUZ \u0409"
                               "123 is connected.\nKVM Programmer is enabled.\n");
    EXPECT_THAT(Tree().Drain(node, 8), ElementsAre(0x05, 0x00, 0x02, 0, 0, 0, 0, 0));
}

struct TScriptHolder {
    std::shared_ptr<platform::linux_backend::testing::TEventScript> script =
        std::make_shared<platform::linux_backend::testing::TEventScript>();
};

// Device events from a source that can say that some were lost in a burst.
class CliOnLinuxWithLosses : protected TScriptHolder, public CliOnLinux {
protected:
    CliOnLinuxWithLosses()
        : CliOnLinux([script = script](platform::linux_backend::TLinuxOptions& options) {
              platform::linux_backend::testing::UseScript(options, script);
          }) {}
};

// An adapter whose arrival event was lost in a burst is still seen, and watch says on
// standard error that events were lost.
TEST_F(CliOnLinuxWithLosses, WatchSeesAnArrivalWhoseEventWasLost) {
    cli::TInterrupt interrupt;
    std::mutex mutex;
    std::condition_variable told;
    bool done = false;
    // Bounded: without the arrival the run would never end.
    std::thread deadline([&] {
        std::unique_lock lock(mutex);
        if (!told.wait_for(lock, std::chrono::seconds(20), [&] { return done; })) {
            interrupt.Request();
        }
    });
    onWaiting = [&] {
        // Whatever the start-up left queued is served first: only the lost event can tell.
        runtime::ServeMainThreadQueue();
        Tree().Plug();
        script->Lose();
    };
    outBuffer.OnFirstLine = [&] {
        interrupt.Request();
    };
    ::testing::internal::CaptureStderr();
    const int exitCode = Run({"watch"}, &interrupt);
    const std::string said = ::testing::internal::GetCapturedStderr();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    told.notify_one();
    deadline.join();
    EXPECT_EQ(exitCode, 130);
    EXPECT_THAT(outBuffer.str(), HasSubstr(" arrival 0416:8249 "));
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_THAT(said, HasSubstr("Device events: some were lost"));
}

TEST_F(CliOnLinux, ListTellsWhichAdapterCannotBeWritten) {
    Tree().Plug(Unopenable());
    EXPECT_EQ(Run({"list"}), 0);
    EXPECT_THAT(outBuffer.str(), HasSubstr("/hidraw0 [adapter]\n"));
    EXPECT_THAT(err.str(), HasSubstr("packaging/70-vuz-utility.rules"));
}

TEST_F(CliOnLinux, NoHidrawClassSaysSo) {
    std::filesystem::remove_all(Tree().Roots().Sysfs + "/class/hidraw");
    EXPECT_EQ(Run({"program"}), 1);
    EXPECT_EQ(outBuffer.str(), "");
    EXPECT_THAT(err.str(), HasSubstr("/class/hidraw does not exist"));
    EXPECT_THAT(err.str(), HasSubstr("hidraw"));
}

} // namespace
} // namespace clitest
