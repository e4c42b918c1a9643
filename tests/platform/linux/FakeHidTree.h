// A fake sysfs and /dev for the Linux backend: USB (or Bluetooth) HID devices with their
// hidraw nodes, whose device nodes are pseudo-terminals in raw mode. The test holds the
// terminal's other side: what the backend writes to the node can be read there, and what
// the test writes there is an input report for the node's readers.
#pragma once

#include "platform/linux/LinuxServices.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform::linux_backend::testing {

// A report descriptor of a vendor-defined device with report ID 5 and 7-byte input and
// output payloads: the adapter's shape (8-byte reports with the ID byte).
std::vector<std::uint8_t> AdapterDescriptor();

// The boot keyboard of the HID specification: no report IDs, 8-byte input reports
// (modifiers, a reserved byte, six key codes) and a 1-byte LED output report.
std::vector<std::uint8_t> BootKeyboardDescriptor();

inline constexpr std::uint16_t kBridgeBcd = 0x0207;
inline constexpr const char* kBridgeManufacturer = "Silicon Labs";
inline constexpr const char* kBridgeProduct = "CP2112 HID USB-to-SMBus Bridge";
inline constexpr const char* kBridgeSerial = "00F1E2D3";

struct TFakeDevice {
    std::uint16_t Bus = 3; // USB
    std::uint16_t VendorID = 0x0416;
    std::uint16_t ProductID = 0x8249;
    std::uint16_t Bcd = 0x0100;
    std::optional<std::string> Manufacturer = "ZEM";
    std::optional<std::string> Product = "VUZ Device";
    std::optional<std::string> Serial = "A1B2C3";
    std::string HidName = "ZEM VUZ Device";
    // HID_UNIQ; for a USB device the kernel puts its serial number there, which is what an
    // empty one here stands for.
    std::string Uniq;
    std::string Driver = "hid-generic";
    std::vector<std::uint8_t> Descriptor = AdapterDescriptor();
    // The USB device's uevent (PRODUCT, BUSNUM, DEVNUM) is there, as on every kernel; without
    // it the same numbers are only in the attribute files.
    bool UsbUevent = true;
    // The node is a directory: every data open fails, a query-only open works.
    bool Unopenable = false;
    // A non-USB device (I2C, SPI, ...) behind a USB bridge: the USB device above it is the
    // bridge (kBridge*), not the device itself.
    bool BelowUsbBridge = false;
};

class TFakeHidTree {
public:
    TFakeHidTree();
    ~TFakeHidTree();
    TFakeHidTree(const TFakeHidTree&) = delete;
    TFakeHidTree& operator=(const TFakeHidTree&) = delete;

    TLinuxRoots Roots() const;
    const std::string& Root() const { return root_; }

    // Adds a device with hidraw node number (the next free one when none); returns it.
    unsigned Plug(const TFakeDevice& device = {}, std::optional<unsigned> number = {});
    // Removes the node's sysfs entries and device node, and hangs the terminal up, as a
    // device that leaves does.
    void Unplug(unsigned number);

    std::string NodePath(unsigned number) const; // <dev>/hidrawN
    std::string DevPath(unsigned number) const;  // below the sysfs root

    // The test's side of the node's terminal.
    int Peer(unsigned number) const;
    // Writes bytes at the node (an input report).
    void Feed(unsigned number, const std::vector<std::uint8_t>& bytes);
    // Reads what the backend wrote to the node, waiting up to one second for count bytes.
    std::vector<std::uint8_t> Drain(unsigned number, std::size_t count);

    // Overwrites one attribute of the HID device's USB parent (or removes it).
    void SetUsbAttribute(unsigned number, const std::string& name,
                         const std::optional<std::string>& value);

private:
    struct TNode {
        std::string hidDir;  // absolute
        std::string usbDir;  // absolute; empty when not USB
        std::string devPath; // below the sysfs root
        int master = -1;
        int slave = -1;
    };

    std::string root_;
    std::map<unsigned, TNode> nodes_;
    unsigned sequence_ = 1;
};

} // namespace platform::linux_backend::testing
