#include "FakeHidTree.h"

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace platform::linux_backend::testing {

namespace fs = std::filesystem;

namespace {

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string LowerHex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

// sysfs lives in memory; so does the fake one where the machine offers a tmpfs.
fs::path TreeParent() {
    std::error_code error;
    if (fs::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0) {
        return "/dev/shm";
    }
    return fs::temp_directory_path();
}

// A device directory's "subsystem" link, relative as sysfs makes it (libudev tells a
// device's subsystem by it).
void LinkSubsystem(const std::string& dir, const std::string& subsystem) {
    fs::create_directory_symlink(fs::relative(subsystem, dir), dir + "/subsystem");
}

} // namespace

std::vector<std::uint8_t> AdapterDescriptor() {
    return {
        0x06, 0x00, 0xFF, // Usage Page (Vendor 0xFF00)
        0x09, 0x01,       // Usage (1)
        0xA1, 0x01,       // Collection (Application)
        0x85, 0x05,       //   Report ID (5)
        0x15, 0x00,       //   Logical Minimum (0)
        0x26, 0xFF, 0x00, //   Logical Maximum (255)
        0x75, 0x08,       //   Report Size (8)
        0x95, 0x07,       //   Report Count (7)
        0x09, 0x01,       //   Usage (1)
        0x81, 0x02,       //   Input (Data, Var, Abs)
        0x09, 0x01,       //   Usage (1)
        0x91, 0x02,       //   Output (Data, Var, Abs)
        0xC0,             // End Collection
    };
}

std::vector<std::uint8_t> BootKeyboardDescriptor() {
    return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
            0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08,
            0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91,
            0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00,
            0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
}

TFakeHidTree::TFakeHidTree() {
    std::string pattern = (TreeParent() / "vuz-hidraw-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    root_ = pattern;
    fs::create_directories(root_ + "/sys/class/hidraw");
    fs::create_directories(root_ + "/sys/bus/hid/devices");
    fs::create_directories(root_ + "/sys/bus/usb/devices");
    fs::create_directories(root_ + "/sys/devices/pci0000:00/0000:00:14.0");
    fs::create_directories(root_ + "/dev");
    fs::create_directories(root_ + "/run");
}

TFakeHidTree::~TFakeHidTree() {
    for (auto& [number, node] : nodes_) {
        if (node.master >= 0) {
            close(node.master);
        }
        if (node.slave >= 0) {
            close(node.slave);
        }
    }
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

TLinuxRoots TFakeHidTree::Roots() const {
    return {root_ + "/sys", root_ + "/dev", root_ + "/run"};
}

std::string TFakeHidTree::NodePath(unsigned number) const {
    return root_ + "/dev/hidraw" + std::to_string(number);
}

std::string TFakeHidTree::DevPath(unsigned number) const {
    return nodes_.at(number).devPath;
}

int TFakeHidTree::Peer(unsigned number) const {
    return nodes_.at(number).master;
}

unsigned TFakeHidTree::Plug(const TFakeDevice& device, std::optional<unsigned> number) {
    unsigned n = 0;
    if (number) {
        n = *number;
    } else {
        while (nodes_.contains(n)) {
            ++n;
        }
    }
    const unsigned seq = sequence_++;
    TNode node;
    const std::string sys = root_ + "/sys";
    std::string parent;
    const std::string port = "1-" + std::to_string(seq);
    const auto usbDevice = [&](std::uint16_t vendor, std::uint16_t product, std::uint16_t bcd,
                               const std::optional<std::string>& manufacturer,
                               const std::optional<std::string>& productName,
                               const std::optional<std::string>& serial) {
        node.usbDir = sys + "/devices/pci0000:00/0000:00:14.0/usb1/" + port;
        fs::create_directories(node.usbDir);
        LinkSubsystem(node.usbDir, sys + "/bus/usb");
        if (device.UsbUevent) {
            char numbers[32];
            std::snprintf(numbers, sizeof numbers, "BUSNUM=001\nDEVNUM=%03u\n", seq + 1);
            WriteFile(node.usbDir + "/uevent",
                      "MAJOR=189\nMINOR=" + std::to_string(seq) +
                          "\nDEVTYPE=usb_device\nDRIVER=usb\nPRODUCT=" + LowerHex(vendor, 0) + "/" +
                          LowerHex(product, 0) + "/" + LowerHex(bcd, 0) + "\nTYPE=0/0/0\n" +
                          numbers);
        }
        WriteFile(node.usbDir + "/idVendor", LowerHex(vendor, 4) + "\n");
        WriteFile(node.usbDir + "/idProduct", LowerHex(product, 4) + "\n");
        WriteFile(node.usbDir + "/bcdDevice", LowerHex(bcd, 4) + "\n");
        WriteFile(node.usbDir + "/busnum", "1\n");
        WriteFile(node.usbDir + "/devnum", std::to_string(seq + 1) + "\n");
        if (manufacturer) {
            WriteFile(node.usbDir + "/manufacturer", *manufacturer + "\n");
        }
        if (productName) {
            WriteFile(node.usbDir + "/product", *productName + "\n");
        }
        if (serial) {
            WriteFile(node.usbDir + "/serial", *serial + "\n");
        }
        // Its HID interface, as the kernel describes it.
        const std::string interface = node.usbDir + "/" + port + ":1.0";
        fs::create_directories(interface);
        LinkSubsystem(interface, sys + "/bus/usb");
        WriteFile(interface + "/uevent",
                  "DEVTYPE=usb_interface\nDRIVER=usbhid\nPRODUCT=" + LowerHex(vendor, 0) + "/" +
                      LowerHex(product, 0) + "/" + LowerHex(bcd, 0) +
                      "\nTYPE=0/0/0\nINTERFACE=3/0/0\n");
        WriteFile(interface + "/bInterfaceNumber", "00\n");
    };
    if (device.Bus == 3) {
        usbDevice(device.VendorID, device.ProductID, device.Bcd, device.Manufacturer,
                  device.Product, device.Serial);
        parent = node.usbDir + "/" + port + ":1.0";
    } else if (device.BelowUsbBridge) {
        usbDevice(0x10C4, 0xEA90, kBridgeBcd, kBridgeManufacturer, kBridgeProduct, kBridgeSerial);
        parent = node.usbDir + "/" + port + ":1.0/i2c-7/i2c-" + Hex(device.VendorID, 4) + ":00";
    } else {
        parent = sys + "/devices/virtual/misc/uhid";
    }
    node.hidDir = parent + "/" + Hex(device.Bus, 4) + ":" + Hex(device.VendorID, 4) + ":" +
                  Hex(device.ProductID, 4) + "." + Hex(seq, 4);
    fs::create_directories(node.hidDir);
    LinkSubsystem(node.hidDir, sys + "/bus/hid");
    const std::string uniq =
        device.Uniq.empty() && device.Bus == 3 ? device.Serial.value_or("") : device.Uniq;
    const std::string uevent = "DRIVER=" + device.Driver + "\nHID_ID=" + Hex(device.Bus, 4) + ":" +
                               Hex(device.VendorID, 8) + ":" + Hex(device.ProductID, 8) +
                               "\nHID_NAME=" + device.HidName + "\nHID_PHYS=usb-0000:00:14.0-" +
                               std::to_string(seq) + "/input0\nHID_UNIQ=" + uniq +
                               "\nMODALIAS=hid:b" + Hex(device.Bus, 4) + "g0001v" +
                               Hex(device.VendorID, 8) + "p" + Hex(device.ProductID, 8) + "\n";
    WriteFile(node.hidDir + "/uevent", uevent);
    WriteFile(node.hidDir + "/report_descriptor",
              std::string(device.Descriptor.begin(), device.Descriptor.end()));
    // The device node: a terminal, whose number stands in for the node's device number.
    std::string slave;
    unsigned major = 241;
    unsigned minor = n;
    if (!device.Unopenable) {
        node.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (node.master < 0 || grantpt(node.master) != 0 || unlockpt(node.master) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        slave = ptsname(node.master);
        node.slave = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios raw{};
        tcgetattr(node.slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(node.slave, TCSANOW, &raw);
        struct stat status {};
        if (fstat(node.slave, &status) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        major = ::major(status.st_rdev);
        minor = ::minor(status.st_rdev);
    }
    const std::string name = "hidraw" + std::to_string(n);
    const std::string classDir = node.hidDir + "/hidraw/" + name;
    fs::create_directories(classDir);
    WriteFile(classDir + "/uevent", "MAJOR=" + std::to_string(major) + "\nMINOR=" +
                                        std::to_string(minor) + "\nDEVNAME=" + name + "\n");
    WriteFile(classDir + "/dev", std::to_string(major) + ":" + std::to_string(minor) + "\n");
    fs::create_directory_symlink("../..", classDir + "/device");
    LinkSubsystem(classDir, sys + "/class/hidraw");
    fs::create_directory_symlink(fs::relative(classDir, sys + "/class/hidraw"),
                                 sys + "/class/hidraw/" + name);
    node.devPath = classDir.substr(sys.size());

    if (device.Unopenable) {
        fs::create_directories(NodePath(n));
    } else {
        fs::create_symlink(slave, NodePath(n));
    }
    nodes_[n] = std::move(node);
    return n;
}

void TFakeHidTree::Unplug(unsigned number) {
    TNode& node = nodes_.at(number);
    const std::string sys = root_ + "/sys";
    fs::remove(sys + "/class/hidraw/hidraw" + std::to_string(number));
    fs::remove_all(node.usbDir.empty() ? node.hidDir : node.usbDir);
    fs::remove_all(NodePath(number));
    // A hung-up terminal reads as the kernel's hidraw does once its device has gone (EIO).
    if (node.master >= 0) {
        close(node.master);
    }
    if (node.slave >= 0) {
        close(node.slave);
    }
    nodes_.erase(number);
}

void TFakeHidTree::Feed(unsigned number, const std::vector<std::uint8_t>& bytes) {
    const ssize_t n = write(Peer(number), bytes.data(), bytes.size());
    if (n != static_cast<ssize_t>(bytes.size())) {
        throw std::runtime_error("cannot feed the node");
    }
}

std::vector<std::uint8_t> TFakeHidTree::Drain(unsigned number, std::size_t count) {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> chunk(256);
    while (bytes.size() < count) {
        pollfd fd{Peer(number), POLLIN, 0};
        if (poll(&fd, 1, 1000) <= 0) {
            break;
        }
        const ssize_t n = read(Peer(number), chunk.data(), chunk.size());
        if (n <= 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
    }
    return bytes;
}

void TFakeHidTree::SetUsbAttribute(unsigned number, const std::string& name,
                                   const std::optional<std::string>& value) {
    const std::string path = nodes_.at(number).usbDir + "/" + name;
    if (value) {
        WriteFile(path, *value + "\n");
    } else {
        fs::remove(path);
    }
}

} // namespace platform::linux_backend::testing
