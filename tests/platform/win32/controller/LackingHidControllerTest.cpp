#include "hid/HidControllerClass.h"

#include <gtest/gtest.h>

namespace {

// Beside a HID.dll that lacks an export the controller has no HID services: it runs, with
// an empty list and no notification window.
TEST(LackingHidLibrary, ControllerRunsWithAnEmptyList) {
    hid::THidDeviceController controller;
    EXPECT_EQ(controller.NotifyWindow(), nullptr);
    EXPECT_EQ(controller.DeviceCount(), 0);
    controller.DeviceChange();
    EXPECT_EQ(controller.DeviceCount(), 0);
    EXPECT_EQ(controller.Enumerate(), 0);
}

} // namespace
