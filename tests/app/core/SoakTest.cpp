#include "OutcomeModel.h"
#include "SimFormFixture.h"

#include <chrono>
#include <map>
#include <random>

namespace apptest {
namespace {

using namespace std::chrono_literals;

constexpr DWORD InjectedReadError = ERROR_NOT_ENOUGH_MEMORY;
const std::string InjectedReadErrorSuffix = " (8)";

// Random plugging, unplugging, ticks, presses of "Program", failed writes and failed reads
// on the simulated bus, each checked against the reference model.
class AppSoak : public SimFormTest {
protected:
    void Run(unsigned seed, int steps) {
        std::mt19937 random(seed);
        Start();
        for (int step = 0; step < steps && !HasFatalFailure(); ++step) {
            const int op = std::uniform_int_distribution<int>(0, 99)(random);
            RunOne(op, random);
            Compare(step, op);
        }
        const TLines& log = Log();
        RecordProperty("writes", static_cast<int>(expectedWrites));
        RecordProperty("connections", static_cast<int>(CountContaining(log, " is connected.")));
        RecordProperty("readErrors", static_cast<int>(CountContaining(log, "READ ERROR")));
        RecordProperty("writeErrors", static_cast<int>(CountContaining(log, "WRITE ERROR")));
        RecordProperty("notFound", static_cast<int>(CountContaining(log, "not found")));
    }

private:
    std::size_t PresentCount(TDeviceKind kind) const {
        std::size_t n = 0;
        for (const auto& d : model.Devices()) {
            n += d.Present && d.Kind == kind ? 1 : 0;
        }
        return n;
    }

    // A present device picked at random, if any.
    std::optional<std::size_t> AnyPresent(std::mt19937& random) const {
        std::vector<std::size_t> present;
        for (std::size_t d = 0; d < model.Devices().size(); ++d) {
            if (model.Devices()[d].Present) {
                present.push_back(d);
            }
        }
        if (present.empty()) {
            return std::nullopt;
        }
        return present[std::uniform_int_distribution<std::size_t>(0, present.size() - 1)(random)];
    }

    void PlugNew(TDeviceKind kind) {
        const std::string serial = "S" + std::to_string(++serials);
        TSimDeviceConfig device = kind == TDeviceKind::Other
                                      ? OtherDevice()
                                      : Adapter(std::u16string(serial.begin(), serial.end()));
        if (kind == TDeviceKind::AdapterIdsOtherLength) {
            device.InputReportByteLength = 9;
        }
        ids[model.Plug(kind, serial)] = Bus().Plug(device);
        model.Reconcile();
        Serve();
    }

    void UnplugOne(std::size_t d, bool deliver) {
        model.Unplug(d);
        Bus().Unplug(ids.at(d));
        if (deliver) {
            model.Reconcile();
            Serve();
        }
    }

    void Program(bool pendingChange, bool writeFails) {
        const std::optional<std::size_t> target = model.Target();
        if (writeFails && target) {
            Bus().FailNextWrite(ids.at(*target), ERROR_GEN_FAILURE);
        }
        if (model.Program(pendingChange, writeFails) && !writeFails) {
            ++expectedWrites;
        }
        PressProgram();
        Serve();
        if (writeFails && target) {
            Bus().ClearWriteFailure(ids.at(*target));
        }
    }

    void FailARead() {
        const std::optional<std::size_t> target = model.Target();
        if (!target) {
            return;
        }
        const auto errors = [this] {
            return CountContaining(Log(), InjectedReadErrorSuffix);
        };
        const auto before = errors();
        Bus().FailNextReadStart(ids.at(*target), InjectedReadError);
        Bus().PushInputReport(ids.at(*target), {0x01, 0x55});
        ASSERT_TRUE(runtime::PumpUntil([&] { return errors() > before; }, 10s))
            << "the read error never reached the log";
    }

    void RunOne(int op, std::mt19937& random) {
        if (op < 35) {
            Tick(); // the timer ticks only while it runs
            model.Tick();
        } else if (op < 45) {
            if (PresentCount(TDeviceKind::Adapter) < 2) {
                PlugNew(TDeviceKind::Adapter);
            }
        } else if (op < 48) {
            PlugNew(TDeviceKind::AdapterIdsOtherLength);
        } else if (op < 56) {
            if (PresentCount(TDeviceKind::Other) < 4) {
                PlugNew(TDeviceKind::Other);
            }
        } else if (op < 70) {
            if (const auto d = AnyPresent(random)) {
                UnplugOne(*d, true);
            }
        } else if (op < 80) {
            Program(false, false);
        } else if (op < 84) {
            Program(false, true);
        } else if (op < 88) {
            // Pulled while the command processes its waiting messages.
            if (const auto target = model.Target()) {
                UnplugOne(*target, false);
                Program(true, false);
            }
        } else if (op < 93) {
            FailARead();
        } else {
            if (const auto target = model.Target()) {
                Bus().PushInputReport(ids.at(*target), {0x01, static_cast<BYTE>(op)});
            }
        }
    }

    // The timer ticks only while it runs.
    void Tick() { SimFormTest::Tick(); }

    void Compare(int step, int op) {
        ASSERT_EQ(View(), model.View()) << "step " << step << " op " << op;
        ASSERT_EQ(WithoutReadErrors(Log()), model.Log()) << "step " << step << " op " << op;
        ASSERT_EQ(form->Connected(), model.Connected()) << "step " << step;
        ASSERT_EQ(form->CheckTargetTimer().Enabled(), model.TimerEnabled()) << "step " << step;
        ASSERT_EQ(form->TargetDevice() != nullptr, model.Target().has_value()) << "step " << step;
        // Every write the model expects reached the bus: none lost, none extra.
        std::size_t writes = 0;
        for (const auto& [d, id] : ids) {
            writes += Bus().Writes(id).size();
        }
        ASSERT_EQ(writes, expectedWrites) << "step " << step;
        if (model.Target()) {
            ASSERT_TRUE(form->TargetDevice()->HasReadThread()) << "step " << step;
        }
    }

protected:
    TOutcomeModel model;
    std::map<std::size_t, TSimDeviceId> ids;
    std::size_t expectedWrites = 0;
    int serials = 0;
};

TEST_F(AppSoak, ShortRun) {
    Run(20240611, 600);
}

// Long runs: ctest runs them on their own, under the label "soak".
class AppSoakLong : public AppSoak, public testing::WithParamInterface<unsigned> {};

TEST_P(AppSoakLong, LongRun) {
    Run(GetParam(), 2000);
}

INSTANTIATE_TEST_SUITE_P(Seeds, AppSoakLong, testing::Values(1U, 2U, 3U, 4U),
                         [](const testing::TestParamInfo<unsigned>& info) {
                             return "Seed" + std::to_string(info.param);
                         });

} // namespace
} // namespace apptest
