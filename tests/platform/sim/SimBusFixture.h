// A test fixture that runs each test on a fresh simulated bus and fails the test when the
// bus saw misuse. Destroy the code under test before SimBusTest::TearDown runs (or in the
// test body); misuse recorded later still fails the test, from the fixture's destructor.
#pragma once

#include "platform/sim/ScopedSimBus.h"

#include <cstddef>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace platform::sim::testing {

class SimBusTest : public ::testing::Test {
protected:
    ~SimBusTest() override { CheckViolations(); }

    void TearDown() override { CheckViolations(); }

    TSimBus& Bus() const { return scope_.Bus(); }

    // Resources the code under test still holds (handles, sets, preparsed data, windows,
    // library references).
    void ExpectNoLeaks() const { EXPECT_THAT(Bus().Leaks(), ::testing::IsEmpty()); }

    // For tests that provoke misuse on purpose: the violations so far, then forgets them.
    std::vector<std::string> TakeViolations() {
        std::vector<std::string> violations = Bus().Violations();
        Bus().ClearViolations();
        reported_ = 0;
        return violations;
    }

private:
    void CheckViolations() {
        const std::vector<std::string> violations = Bus().Violations();
        for (std::size_t i = reported_; i < violations.size(); ++i) {
            ADD_FAILURE() << "platform misuse: " << violations[i];
        }
        reported_ = violations.size();
    }

    TScopedSimBus scope_;
    std::size_t reported_ = 0;
};

} // namespace platform::sim::testing
