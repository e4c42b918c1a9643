#include "app/qt/PlatformChatter.h"

#include <gtest/gtest.h>

namespace {

TEST(PlatformChatterTest, DropsThePluginsNoticesAndKeepsRealWarnings) {
    const struct {
        const char* message;
        bool chatter;
    } cases[] = {
        {"This plugin does not support propagateSizeHints()", true},
        {"This plugin does not support raise()", true},
        {"QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'", true},
        {"QStandardPaths: wrong permissions on runtime directory /run/user/0, 0755 instead of "
         "0700",
         true},
        {"QWidget::setLayout: Attempting to set QLayout \"\" on TQtMainForm \"MainForm\"", false},
        {"QObject::connect: No such signal QPushButton::pressedTwice()", false},
        {"Could not load the Qt platform plugin \"xcb\"", false},
        {"the plugin This plugin does not support raise()", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(qtview::IsPlatformChatter(QString::fromUtf8(c.message)), c.chatter) << c.message;
    }
}

} // namespace
