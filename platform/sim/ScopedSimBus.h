// Installs a fresh simulated bus for one scope (a test) and puts the previous services back
// afterwards, destroying the bus.
#pragma once

#include "platform/sim/SimBus.h"

#include <memory>

namespace platform::sim {

class TScopedSimBus {
public:
    TScopedSimBus() {
        auto bus = std::make_unique<TSimBus>();
        bus_ = bus.get();
        previous_ = InstallServices(std::move(bus));
    }
    TScopedSimBus(const TScopedSimBus&) = delete;
    TScopedSimBus& operator=(const TScopedSimBus&) = delete;
    ~TScopedSimBus() { InstallServices(std::move(previous_)); }

    TSimBus& Bus() const { return *bus_; }
    TSimBus* operator->() const { return bus_; }

private:
    TSimBus* bus_ = nullptr;
    std::unique_ptr<TPlatformServices> previous_;
};

} // namespace platform::sim
