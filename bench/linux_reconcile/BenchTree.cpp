#include "BenchTree.h"

namespace bench {

namespace {

using platform::linux_backend::testing::TFakeDevice;
using platform::linux_backend::testing::TFakeHidTree;

TFakeHidTree& Filled(TFakeHidTree& tree, int devices) {
    for (int i = 0; i < devices; ++i) {
        TFakeDevice device;
        device.Serial = "SN" + std::to_string(i);
        tree.Plug(device);
    }
    return tree;
}

} // namespace

TBenchTree::TBenchTree(int devices) : mount_(Filled(tree_, devices).Root() + "/sys") {}

platform::linux_backend::TLinuxOptions TBenchTree::Options() const {
    platform::linux_backend::TLinuxOptions options;
    options.Roots = tree_.Roots();
    if (mount_.Mounted()) {
        options.Roots.Sysfs = "/sys";
    }
    options.Events = platform::linux_backend::TEventFeed::None;
    return options;
}

} // namespace bench
