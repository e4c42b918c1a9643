// vuz-cli on the Linux backend over a fake sysfs and /dev whose hidraw nodes are
// pseudo-terminals: the bytes the command writes arrive at the node's other side.
#include "FakeHidTree.h"
#include "LinuxServicesFixture.h"
#include "app/cli/Cli.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

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

class CliOnLinux : public LinuxServicesTest {
protected:
    int Run(const std::vector<std::string>& args) {
        cli::TCliContext context;
        context.Services = cli::TServicesChoice::Installed;
        context.OnWaiting = onWaiting;
        return cli::RunCli(args, out, err, context);
    }

    std::function<void()> onWaiting;
    std::ostringstream out;
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
    EXPECT_EQ(out.str(), "ZEM VUZ A1B2C3 is connected.\nKVM Programmer is enabled.\n");
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
    EXPECT_EQ(out.str(), "ZEM VUZ A1B2C3 is connected.\nKVM Programmer is enabled.\n");
    EXPECT_THAT(Tree().Drain(node, 8), ElementsAre(0x05, 0x00, 0x02, 0, 0, 0, 0, 0));
}

TEST_F(CliOnLinux, ANodeWithoutReadWriteAccessNamesTheUdevRule) {
    Tree().Plug(Unopenable());
    EXPECT_EQ(Run({"program"}), 2);
    EXPECT_EQ(out.str(), "ZEM VUZ A1B2C3 is connected.\n");
    EXPECT_THAT(err.str(), testing::StartsWith("WRITE ERROR: Access is denied (5)\n"
                                               "Permission denied on "));
    EXPECT_THAT(err.str(), HasSubstr("packaging/70-vuz-utility.rules"));
    EXPECT_THAT(err.str(), HasSubstr("sudo udevadm control --reload-rules"));
}

TEST_F(CliOnLinux, ListTellsWhichAdapterCannotBeWritten) {
    Tree().Plug(Unopenable());
    EXPECT_EQ(Run({"list"}), 0);
    EXPECT_THAT(out.str(), HasSubstr("/hidraw0 [adapter]\n"));
    EXPECT_THAT(err.str(), HasSubstr("packaging/70-vuz-utility.rules"));
}

TEST_F(CliOnLinux, NoHidrawClassSaysSo) {
    std::filesystem::remove_all(Tree().Roots().Sysfs + "/class/hidraw");
    EXPECT_EQ(Run({"program"}), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_THAT(err.str(), HasSubstr("/class/hidraw does not exist"));
    EXPECT_THAT(err.str(), HasSubstr("hidraw"));
}

} // namespace
} // namespace clitest
