// The HID device controller component: the controller, its devices, their read threads and
// plug-and-play records.
#pragma once

#include "hid/HidDevice.h"
#include "hid/HidDeviceController.h"
#include "hid/HidDeviceReadThread.h"
#include "hid/HidEvents.h"
#include "hid/HidPnPInfo.h"
