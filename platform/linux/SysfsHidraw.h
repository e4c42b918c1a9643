// What sysfs tells about the hidraw nodes, read without opening any node: the list of
// nodes, each node's identity (IDs, version, strings) and its report descriptor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace platform::linux_backend {

// Where the backend looks; tests point these at a fake tree.
struct TLinuxRoots {
    std::string Sysfs = "/sys";
    std::string Dev = "/dev";
    std::string Run = "/run"; // udevd's control socket lives below it
};

struct THidrawNode {
    std::string Name;    // "hidraw3"
    std::string DevPath; // below the sysfs root: "/devices/.../hidraw/hidraw3"
    unsigned Number = 0; // 3
};

// The nodes in /sys/class/hidraw, ordered by number.
std::vector<THidrawNode> ListHidrawNodes(const TLinuxRoots& roots);

// The node of that name now, if it is present.
std::optional<THidrawNode> FindHidrawNode(const TLinuxRoots& roots, std::string_view name);

// The same, looked up relative to the hidraw class directory (/sys/class/hidraw) opened
// with OpenHidrawClass: one short path to walk instead of the whole one.
int OpenHidrawClass(const TLinuxRoots& roots);
std::optional<THidrawNode> FindHidrawNodeAt(int classDir, std::string_view name);

// The device number (major:minor) the kernel gave the node of that instance, from the
// "dev" attribute of its own sysfs directory; none when the instance has gone.
std::optional<dev_t> ReadNodeDeviceNumber(const TLinuxRoots& roots, const THidrawNode& node);

struct THidrawIdentity {
    std::uint16_t Bus = 0; // BUS_USB (3), BUS_BLUETOOTH (5), BUS_I2C (0x18), ...
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0; // the USB parent's bcdDevice, else 0
    // UTF-8; none when the device has no such string.
    std::optional<std::string> Manufacturer;
    std::optional<std::string> Product;
    std::optional<std::string> SerialNumber;
    // From the HID device's uevent.
    std::string Driver;
    std::string HidName;
    std::string HidPhys;
    std::string Modalias;
    // The USB parent, when there is one.
    bool Usb = false;
    std::uint32_t BusNumber = 0;
    std::uint32_t DevNumber = 0;
    std::string HidDir; // absolute path of the HID device's sysfs directory
};

enum class TIdentityDetail {
    Ids, // bus, vendor, product and version only
    Full
};

// None when the node or its HID device is gone, or HID_ID cannot be read.
std::optional<THidrawIdentity> ReadHidrawIdentity(const TLinuxRoots& roots, const THidrawNode& node,
                                                  TIdentityDetail detail = TIdentityDetail::Full);

// The HID device's report descriptor (readable without access to the node); empty when it
// cannot be read.
std::vector<std::uint8_t> ReadReportDescriptor(const THidrawIdentity& identity);

// A small sysfs attribute's text without its trailing newline; none when unreadable.
std::optional<std::string> ReadAttribute(const std::string& path, std::size_t limit = 4096);

} // namespace platform::linux_backend
