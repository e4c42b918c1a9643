// The benchmarks' fake tree: n devices with distinct serial numbers, shown at /sys where
// the process has a private mount namespace, so that the backend and hidapi walk the same
// paths.
#pragma once

#include "FakeHidTree.h"
#include "SysfsMount.h"

namespace bench {

class TBenchTree {
public:
    explicit TBenchTree(int devices);

    // The backend's options: no event feed, the tree's roots (/sys where it is mounted).
    platform::linux_backend::TLinuxOptions Options() const;
    bool AtSys() const { return mount_.Mounted(); }

private:
    platform::linux_backend::testing::TFakeHidTree tree_;
    TSysfsMount mount_;
};

} // namespace bench
