// Shows a fake sysfs tree at /sys, so that code which only knows /sys (libudev, and with
// it hidapi) walks the same tree as the backend. Needs a private mount namespace: root can
// make one, another user where the kernel lets it make a user namespace; without one the
// benchmarks that need it skip.
#pragma once

#include <string>

namespace bench {

// Call first in main, before any thread starts: unshare() refuses a process with threads.
// Mounts made afterwards are seen by this process only.
bool EnterPrivateMountNamespace();

// Binds a directory over /sys for its lifetime.
class TSysfsMount {
public:
    explicit TSysfsMount(const std::string& tree);
    ~TSysfsMount();
    TSysfsMount(const TSysfsMount&) = delete;
    TSysfsMount& operator=(const TSysfsMount&) = delete;

    bool Mounted() const { return mounted_; }

private:
    bool mounted_ = false;
};

} // namespace bench
