#include "platform/linux/SysfsHidraw.h"

#include "platform/linux/ReportDescriptor.h"
#include "platform/linux/UniqueFd.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform::linux_backend {

namespace {

constexpr std::uint16_t kBusUsb = 3;

struct TDirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Joins a symbolic link's target to the directory holding the link, without touching the
// file system: sysfs links are relative and its directories are real ones.
std::string JoinLink(std::string_view dir, std::string_view target) {
    std::vector<std::string_view> parts;
    const auto add = [&parts](std::string_view path) {
        while (!path.empty()) {
            const std::size_t slash = std::min(path.find('/'), path.size());
            const std::string_view part = path.substr(0, slash);
            path.remove_prefix(std::min(slash + 1, path.size()));
            if (part.empty() || part == ".") {
                continue;
            }
            if (part == "..") {
                if (!parts.empty()) {
                    parts.pop_back();
                }
            } else {
                parts.push_back(part);
            }
        }
    };
    if (!target.starts_with('/')) {
        add(dir);
    }
    add(target);
    std::string joined;
    for (const std::string_view part : parts) {
        joined += '/';
        joined += part;
    }
    return joined;
}

std::optional<std::string> ReadLink(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) {
        return std::nullopt;
    }
    return std::string(target, static_cast<std::size_t>(n));
}

constexpr const char* kClassDir = "/class/hidraw";

std::optional<std::string> ReadLinkAt(int dir, const std::string& name) {
    char target[PATH_MAX];
    const ssize_t n = readlinkat(dir, name.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) {
        return std::nullopt;
    }
    return std::string(target, static_cast<std::size_t>(n));
}

// Where the sysfs link target (read from the link in linkDir, below the sysfs root) leads,
// below the sysfs root. A link leading out of the tree is no sysfs device.
std::optional<std::string> LinkedDevice(const std::string& linkDir,
                                        const std::optional<std::string>& target) {
    if (!target || target->starts_with('/')) {
        return std::nullopt;
    }
    std::string path = JoinLink(linkDir, *target);
    if (!path.starts_with("/devices/")) {
        return std::nullopt;
    }
    return path;
}

std::optional<std::string> FollowLink(const TLinuxRoots& roots, const std::string& linkDir,
                                      const std::string& name) {
    return LinkedDevice(linkDir, ReadLink(roots.Sysfs + linkDir + "/" + name));
}

// The HID device a node belongs to, below the sysfs root. The kernel puts a hidraw node in
// its device's directory (<device>/hidraw/hidrawN), so the path tells without reading the
// node's "device" link; the link is read only for a node found elsewhere.
std::optional<std::string> HidDeviceOf(const TLinuxRoots& roots, const THidrawNode& node) {
    const std::string suffix = "/hidraw/" + node.Name;
    if (node.DevPath.size() > suffix.size() && node.DevPath.ends_with(suffix)) {
        return node.DevPath.substr(0, node.DevPath.size() - suffix.size());
    }
    return FollowLink(roots, node.DevPath, "device");
}

std::optional<unsigned> NodeNumber(std::string_view name) {
    constexpr std::string_view kPrefix = "hidraw";
    if (!name.starts_with(kPrefix) || name.size() == kPrefix.size()) {
        return std::nullopt;
    }
    unsigned number = 0;
    const char* end = name.data() + name.size();
    const auto [next, error] = std::from_chars(name.data() + kPrefix.size(), end, number);
    if (error != std::errc{} || next != end) {
        return std::nullopt;
    }
    return number;
}

template <typename T> bool ParseHex(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value, 16);
    return error == std::errc{} && next == end && !text.empty();
}

template <typename T> bool ParseDecimal(std::string_view text, T& value) {
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value, 10);
    return error == std::errc{} && next == end && !text.empty();
}

// "0003:00000416:00008249": bus, vendor, product.
bool ParseHidId(std::string_view text, THidrawIdentity& identity) {
    const std::size_t first = text.find(':');
    const std::size_t second = text.find(':', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) {
        return false;
    }
    std::uint32_t bus = 0;
    std::uint32_t vendor = 0;
    std::uint32_t product = 0;
    if (!ParseHex(text.substr(0, first), bus) ||
        !ParseHex(text.substr(first + 1, second - first - 1), vendor) ||
        !ParseHex(text.substr(second + 1), product)) {
        return false;
    }
    identity.Bus = static_cast<std::uint16_t>(bus);
    identity.VendorID = static_cast<std::uint16_t>(vendor);
    identity.ProductID = static_cast<std::uint16_t>(product);
    return true;
}

// Calls visit(key, value) for each KEY=value line of a sysfs uevent attribute.
template <typename F> void ForEachUeventLine(std::string_view rest, F&& visit) {
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            visit(line.substr(0, equals), line.substr(equals + 1));
        }
    }
}

std::optional<std::string> NonEmpty(std::string text) {
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

// The USB device above the HID device (its interface's parent), if there is one, opened as
// a directory. Looked for relative to the HID device's directory: a short path to walk
// where the absolute one has a dozen parts. Bounded: a USB HID device sits two levels below.
TUniqueFd UsbParent(int hidDir, std::string_view hidPath, std::string_view sysfsRoot) {
    std::string up;
    for (int level = 0; level < 4; ++level) {
        const std::size_t slash = hidPath.rfind('/');
        if (slash == std::string_view::npos || slash <= sysfsRoot.size()) {
            return {};
        }
        hidPath = hidPath.substr(0, slash);
        up += "../";
        if (faccessat(hidDir, (up + "idVendor").c_str(), F_OK, 0) == 0) {
            return TUniqueFd(openat(hidDir, up.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        }
    }
    return {};
}

// A file's bytes, up to limit; name is relative to dir (or absolute).
std::optional<std::string> ReadWhole(int dir, const char* name, std::size_t limit) {
    TUniqueFd file(openat(dir, name, O_RDONLY | O_CLOEXEC));
    if (!file) {
        return std::nullopt;
    }
    std::array<char, kMaxReportDescriptorSize> buffer;
    limit = std::min(limit, buffer.size());
    std::size_t used = 0;
    while (used < limit) {
        const ssize_t n = read(file.Get(), buffer.data() + used, limit - used);
        if (n < 0) {
            return std::nullopt;
        }
        const bool shortRead = static_cast<std::size_t>(n) < limit - used;
        used += static_cast<std::size_t>(n);
        // sysfs hands an attribute out in one read; a short read of a file is its end.
        if (shortRead) {
            break;
        }
    }
    return std::string(buffer.data(), used);
}

// A small attribute's text without its trailing newline; none when unreadable.
std::optional<std::string> ReadAttributeAt(int dir, const char* name, std::size_t limit = 4096) {
    std::optional<std::string> text = ReadWhole(dir, name, limit);
    if (!text) {
        return std::nullopt;
    }
    while (!text->empty() && (text->back() == '\n' || text->back() == '\0')) {
        text->pop_back();
    }
    return text;
}

// The USB device's bcdDevice (and with Full detail its bus and device numbers). Its uevent
// has them all in one read ("PRODUCT=416/8249/100", "BUSNUM=001", "DEVNUM=002"); an
// attribute file is read only for what the uevent lacks.
void ReadUsbNumbers(int usbDir, TIdentityDetail detail, THidrawIdentity& identity) {
    bool haveVersion = false;
    bool haveBus = false;
    bool haveDev = false;
    if (const std::optional<std::string> uevent = ReadAttributeAt(usbDir, "uevent")) {
        ForEachUeventLine(*uevent, [&](std::string_view key, std::string_view value) {
            if (key == "PRODUCT") {
                const std::size_t slash = value.rfind('/');
                haveVersion = slash != std::string_view::npos &&
                              ParseHex(value.substr(slash + 1), identity.VersionNumber);
            } else if (key == "BUSNUM") {
                haveBus = ParseDecimal(value, identity.BusNumber);
            } else if (key == "DEVNUM") {
                haveDev = ParseDecimal(value, identity.DevNumber);
            }
        });
    }
    if (!haveVersion) {
        if (const auto bcd = ReadAttributeAt(usbDir, "bcdDevice")) {
            ParseHex(*bcd, identity.VersionNumber);
        }
    }
    if (detail == TIdentityDetail::Ids) {
        return;
    }
    if (!haveBus) {
        if (const auto busnum = ReadAttributeAt(usbDir, "busnum")) {
            ParseDecimal(*busnum, identity.BusNumber);
        }
    }
    if (!haveDev) {
        if (const auto devnum = ReadAttributeAt(usbDir, "devnum")) {
            ParseDecimal(*devnum, identity.DevNumber);
        }
    }
}

} // namespace

std::optional<std::string> ReadAttribute(const std::string& path, std::size_t limit) {
    return ReadAttributeAt(AT_FDCWD, path.c_str(), limit);
}

std::optional<THidrawNode> FindHidrawNode(const TLinuxRoots& roots, std::string_view name) {
    const std::optional<unsigned> number = NodeNumber(name);
    if (!number) {
        return std::nullopt;
    }
    std::optional<std::string> devPath = FollowLink(roots, kClassDir, std::string(name));
    if (!devPath) {
        return std::nullopt;
    }
    return THidrawNode{std::string(name), std::move(*devPath), *number};
}

std::optional<dev_t> ReadNodeDeviceNumber(const TLinuxRoots& roots, const THidrawNode& node) {
    const std::optional<std::string> text = ReadAttribute(roots.Sysfs + node.DevPath + "/dev");
    if (!text) {
        return std::nullopt;
    }
    unsigned major = 0;
    unsigned minor = 0;
    const char* begin = text->data();
    const char* end = begin + text->size();
    auto [colon, majorError] = std::from_chars(begin, end, major);
    if (majorError != std::errc{} || colon == end || *colon != ':') {
        return std::nullopt;
    }
    auto [last, minorError] = std::from_chars(colon + 1, end, minor);
    if (minorError != std::errc{} || last != end) {
        return std::nullopt;
    }
    return makedev(major, minor);
}

int OpenHidrawClass(const TLinuxRoots& roots) {
    return open((roots.Sysfs + kClassDir).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

std::optional<THidrawNode> FindHidrawNodeAt(int classDir, std::string_view name) {
    const std::optional<unsigned> number = NodeNumber(name);
    if (!number) {
        return std::nullopt;
    }
    std::optional<std::string> devPath =
        LinkedDevice(kClassDir, ReadLinkAt(classDir, std::string(name)));
    if (!devPath) {
        return std::nullopt;
    }
    return THidrawNode{std::string(name), std::move(*devPath), *number};
}

std::vector<THidrawNode> ListHidrawNodes(const TLinuxRoots& roots) {
    std::vector<THidrawNode> nodes;
    const std::unique_ptr<DIR, TDirCloser> dir(opendir((roots.Sysfs + kClassDir).c_str()));
    if (!dir) {
        return nodes;
    }
    while (const dirent* entry = readdir(dir.get())) {
        if (std::optional<THidrawNode> node = FindHidrawNodeAt(dirfd(dir.get()), entry->d_name)) {
            nodes.push_back(std::move(*node));
        }
    }
    std::ranges::sort(nodes, {}, &THidrawNode::Number);
    return nodes;
}

std::optional<THidrawIdentity> ReadHidrawIdentity(const TLinuxRoots& roots, const THidrawNode& node,
                                                  TIdentityDetail detail) {
    const std::optional<std::string> hidPath = HidDeviceOf(roots, node);
    if (!hidPath) {
        return std::nullopt;
    }
    const std::string hidDir = roots.Sysfs + *hidPath;
    // The attributes are read relative to their directories.
    const TUniqueFd hid(open(hidDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!hid) {
        return std::nullopt;
    }
    const std::optional<std::string> uevent = ReadAttributeAt(hid.Get(), "uevent");
    if (!uevent) {
        return std::nullopt;
    }
    THidrawIdentity identity;
    identity.HidDir = hidDir;
    bool haveId = false;
    std::string uniq;
    ForEachUeventLine(*uevent, [&](std::string_view key, std::string_view text) {
        std::string value(text);
        if (key == "HID_ID") {
            haveId = ParseHidId(value, identity);
        } else if (key == "DRIVER") {
            identity.Driver = std::move(value);
        } else if (key == "HID_NAME") {
            identity.HidName = std::move(value);
        } else if (key == "HID_PHYS") {
            identity.HidPhys = std::move(value);
        } else if (key == "HID_UNIQ") {
            uniq = std::move(value);
        } else if (key == "MODALIAS") {
            identity.Modalias = std::move(value);
        }
    });
    if (!haveId) {
        return std::nullopt;
    }
    // Only a USB HID device takes its identity from the USB device above it: a device on
    // another bus may sit behind a USB bridge whose identity is not its own.
    TUniqueFd usb;
    if (identity.Bus == kBusUsb) {
        usb = UsbParent(hid.Get(), hidDir, roots.Sysfs);
    }
    if (usb) {
        identity.Usb = true;
        const int dir = usb.Get();
        ReadUsbNumbers(dir, detail, identity);
        if (detail == TIdentityDetail::Ids) {
            return identity;
        }
        identity.Manufacturer = ReadAttributeAt(dir, "manufacturer");
        identity.Product = ReadAttributeAt(dir, "product");
        identity.SerialNumber = ReadAttributeAt(dir, "serial");
    } else {
        // Bluetooth and I2C devices: the kernel's name and unique ID are all there is.
        identity.Product = NonEmpty(identity.HidName);
        identity.SerialNumber = NonEmpty(uniq);
    }
    return identity;
}

std::vector<std::uint8_t> ReadReportDescriptor(const THidrawIdentity& identity) {
    const std::optional<std::string> bytes = ReadWhole(
        AT_FDCWD, (identity.HidDir + "/report_descriptor").c_str(), kMaxReportDescriptorSize);
    if (!bytes) {
        return {};
    }
    return {bytes->begin(), bytes->end()};
}

} // namespace platform::linux_backend
