#include "SysfsMount.h"

#include <dlfcn.h>
#include <fstream>
#include <linux/magic.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace {

bool privateNamespace = false;
// The file system of the tree mounted at /sys, while it is.
dev_t mountedTree = 0;

bool WriteProcFile(const char* path, const std::string& text) {
    std::ofstream file(path);
    file << text;
    file.flush();
    return static_cast<bool>(file);
}

} // namespace

// libudev takes only devices on a sysfs file system, and the fake tree is on tmpfs: the
// tree's file system says it is sysfs (exported to the shared libraries by the build).
extern "C" int fstatfs64(int fd, struct statfs64* info) {
    using TFstatfs = int (*)(int, struct statfs64*);
    static const auto real = reinterpret_cast<TFstatfs>(dlsym(RTLD_NEXT, "fstatfs64"));
    const int result = real(fd, info);
    struct stat file {};
    if (result == 0 && mountedTree != 0 && fstat(fd, &file) == 0 && file.st_dev == mountedTree) {
        info->f_type = SYSFS_MAGIC;
    }
    return result;
}

namespace bench {

bool EnterPrivateMountNamespace() {
    // Without privilege, a user namespace of its own (where the kernel allows one) lets the
    // process mount in its mount namespace.
    if (unshare(CLONE_NEWNS) != 0) {
        const std::string uid = std::to_string(getuid());
        const std::string gid = std::to_string(getgid());
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            !WriteProcFile("/proc/self/setgroups", "deny") ||
            !WriteProcFile("/proc/self/uid_map", uid + " " + uid + " 1") ||
            !WriteProcFile("/proc/self/gid_map", gid + " " + gid + " 1")) {
            return false;
        }
    }
    // Private propagation, so that no mount made here reaches the machine's namespace.
    privateNamespace = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return privateNamespace;
}

TSysfsMount::TSysfsMount(const std::string& tree) {
    mounted_ = privateNamespace && mount(tree.c_str(), "/sys", nullptr, MS_BIND, nullptr) == 0;
    struct stat root {};
    if (mounted_ && stat("/sys", &root) == 0) {
        mountedTree = root.st_dev;
    }
}

TSysfsMount::~TSysfsMount() {
    if (mounted_) {
        mountedTree = 0;
        umount2("/sys", MNT_DETACH);
    }
}

} // namespace bench
