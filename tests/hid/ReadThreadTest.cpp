// The read thread on the simulated bus: delivery of input reports, failures to start a read,
// stopping in its different phases, unplugging under a pending read and report lengths that
// do not fit the usual shape.
#include "DeviceTestSupport.h"
#include "HidTestFixture.h"
#include "runtime/ThreadStartFailures.h"

#include <chrono>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace hid::test {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class ReadThreadTest : public HidDeviceFixture {
protected:
    // A checked-out device with events and a short slice, reading.
    std::unique_ptr<THidDevice> StartReading(TDeviceConfig config = {}, bool withErrors = true) {
        auto device = PlugDevice(std::move(config));
        device->SetThreadSleepTime(10);
        if (withErrors) {
            device->SetOnDataError(events.OnDataError());
        }
        THidDeviceTestAccess::CheckOut(*device);
        device->SetOnData(events.OnData());
        return device;
    }

    bool ReadPending() {
        return Bus().WaitUntil([&] { return Bus().PendingReadCount(lastPlugged) == 1; });
    }

    static std::vector<BYTE> Report(std::size_t length, BYTE first = 0x05) {
        std::vector<BYTE> report(length);
        std::iota(report.begin(), report.end(), first);
        return report;
    }

    TDeviceEvents events;
};

TEST_F(ReadThreadTest, StartsOnlyForACheckedOutDeviceWithADataHandler) {
    auto device = PlugDevice();
    device->SetOnData(events.OnData());
    EXPECT_FALSE(device->HasReadThread());
    THidDeviceTestAccess::CheckOut(*device);
    EXPECT_TRUE(device->HasReadThread());
    device->SetOnData(nullptr);
    EXPECT_FALSE(device->HasReadThread());
    device->SetOnData(events.OnData());
    EXPECT_TRUE(device->HasReadThread());
}

TEST_F(ReadThreadTest, NineByteReportReachesOnDataAsIdAndEightBytes) {
    TDeviceConfig config;
    config.InputReportByteLength = 9;
    auto device = StartReading(config);
    ASSERT_TRUE(ReadPending());
    EXPECT_EQ(THidDeviceTestAccess::ReadThread(*device)->ReadBuffer().size(), 9U);

    Bus().PushInputReport(lastPlugged, {0x05, 1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_TRUE(runtime::PumpUntil([&] { return !events.reports.empty(); }));
    ASSERT_EQ(events.reports.size(), 1U);
    EXPECT_EQ(events.reports[0].device, device.get());
    EXPECT_EQ(events.reports[0].reportId, 0x05);
    EXPECT_THAT(events.reports[0].payload, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8));
    device->SetOnData(nullptr);
    EXPECT_THAT(events.errors, IsEmpty());
}

TEST_F(ReadThreadTest, ReportsArriveInTheOrderPushed) {
    auto device = StartReading();
    ASSERT_TRUE(ReadPending());
    for (BYTE id = 1; id <= 5; ++id) {
        Bus().PushInputReport(lastPlugged, Report(8, id));
    }
    ASSERT_TRUE(runtime::PumpUntil([&] { return events.reports.size() == 5; }));
    for (BYTE id = 1; id <= 5; ++id) {
        const std::vector<BYTE> pushed = Report(8, id);
        EXPECT_EQ(events.reports[id - 1].reportId, id);
        EXPECT_EQ(events.reports[id - 1].payload,
                  std::vector<BYTE>(pushed.begin() + 1, pushed.end()));
    }
    device->SetOnData(nullptr);
}

TEST_F(ReadThreadTest, StopWithNoReportPendingCancelsTheRead) {
    auto device = StartReading();
    ASSERT_TRUE(ReadPending());
    device->SetOnData(nullptr);
    EXPECT_FALSE(device->HasReadThread());
    EXPECT_EQ(Bus().CallCount("CancelIo"), 1U);
    EXPECT_EQ(Bus().PendingReadCount(lastPlugged), 0U);
    EXPECT_EQ(Bus().LoadCount("kernel32.dll"), Bus().ReleaseCount("kernel32.dll"));
    EXPECT_THAT(events.reports, IsEmpty());
    EXPECT_THAT(events.errors, IsEmpty());
}

// The main thread stops the thread while its hand-over waits: the wait serves the
// hand-over, the thread then sees the flag and ends without a read to cancel.
TEST_F(ReadThreadTest, StopWhileAHandOverWaitsServesItFirst) {
    auto device = StartReading();
    ASSERT_TRUE(ReadPending());
    {
        TQueuedCalls queued;
        Bus().PushInputReport(lastPlugged, Report(8));
        ASSERT_TRUE(queued.WaitFor(1));
        EXPECT_THAT(events.reports, IsEmpty());
        device->SetOnData(nullptr);
    }
    EXPECT_FALSE(device->HasReadThread());
    ASSERT_EQ(events.reports.size(), 1U);
    EXPECT_EQ(events.reports[0].reportId, 0x05);
    EXPECT_EQ(Bus().CallCount("CancelIo"), 0U);
}

TEST_F(ReadThreadTest, FailedReadStartsReachOnDataErrorWithTheLastError) {
    TDeviceConfig config;
    auto device = PlugDevice(config);
    Bus().FailReadStartsAlways(lastPlugged, ERROR_GEN_FAILURE);
    device->SetOnDataError(events.OnDataError());
    THidDeviceTestAccess::CheckOut(*device);
    device->SetOnData(events.OnData());
    ASSERT_TRUE(runtime::PumpUntil([&] { return events.errors.size() >= 3; }));
    device->SetOnData(nullptr);
    EXPECT_EQ(events.errors.size(), Bus().CallCount("ReadFileEx")) << "one error per failure";
    EXPECT_THAT(events.errors, Each(ERROR_GEN_FAILURE));
    EXPECT_THAT(events.errorDevices, Each(device.get()));
    EXPECT_THAT(events.reports, IsEmpty());
}

// A device that is gone fails every read start at once until its removal is handled: one
// try per slice, not a flood of errors. The slice is long here, so the thread is certainly
// still in its wait while the test looks; only the termination can end it in time.
TEST_F(ReadThreadTest, AFailedStartWaitsOneSliceWhichTerminationEndsAtOnce) {
    auto device = PlugDevice();
    device->SetThreadSleepTime(10000);
    Bus().FailReadStartsAlways(lastPlugged, ERROR_DEVICE_NOT_CONNECTED);
    device->SetOnDataError(events.OnDataError());
    THidDeviceTestAccess::CheckOut(*device);
    device->SetOnData(events.OnData());
    THidDeviceReadThread* thread = THidDeviceTestAccess::ReadThread(*device);
    ASSERT_NE(thread, nullptr);

    ASSERT_TRUE(runtime::PumpUntil([&] { return thread->Paused(); }));
    EXPECT_THAT(events.errors, ElementsAre(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(Bus().CallCount("ReadFileEx"), 1U);

    thread->Terminate();
    EXPECT_TRUE(Bus().WaitUntil([&] { return thread->Finished(); }, std::chrono::seconds(5)));
    device->SetOnData(nullptr);
    EXPECT_EQ(Bus().CallCount("ReadFileEx"), 1U);
    EXPECT_EQ(events.errors.size(), 1U);
}

// The system has no thread to give: the device keeps no thread object (one that never ran
// could never be stopped), and a later start gets a thread that reads.
TEST_F(ReadThreadTest, AThreadThatCannotStartIsNotKept) {
    auto device = PlugDevice();
    device->SetThreadSleepTime(10);
    THidDeviceTestAccess::CheckOut(*device);
    runtime::FailNextThreadStarts(1);
    device->SetOnData(events.OnData());
    EXPECT_FALSE(device->HasReadThread());

    TDeviceEvents later;
    device->SetOnData(later.OnData());
    ASSERT_TRUE(device->HasReadThread());
    ASSERT_TRUE(ReadPending());
    Bus().PushInputReport(lastPlugged, Report(8));
    ASSERT_TRUE(runtime::PumpUntil([&] { return later.reports.size() == 1; }));
    device.reset();
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);
}

TEST_F(ReadThreadTest, FailedReadStartsWithoutOnDataErrorKeepTheLoopGoing) {
    auto device = PlugDevice();
    Bus().FailReadStartsAlways(lastPlugged, ERROR_GEN_FAILURE);
    THidDeviceTestAccess::CheckOut(*device);
    device->SetOnData(events.OnData());
    ASSERT_TRUE(runtime::PumpUntil([&] { return Bus().CallCount("ReadFileEx") >= 3; }));

    Bus().ClearReadStartFailure(lastPlugged);
    ASSERT_TRUE(runtime::PumpUntil([&] { return Bus().PendingReadCount(lastPlugged) == 1; }));
    Bus().PushInputReport(lastPlugged, Report(8));
    ASSERT_TRUE(runtime::PumpUntil([&] { return events.reports.size() == 1; }));
    device->SetOnData(nullptr);
    EXPECT_THAT(events.errors, IsEmpty());
}

// Unplug handling closes the read handle under the pending read: the read ends without a
// report, and every later start fails because the device is no longer accessible.
TEST_F(ReadThreadTest, UnplugHandlingUnderAPendingReadEndsItWithoutAReport) {
    auto device = StartReading();
    ASSERT_TRUE(ReadPending());
    device->HandleUnplug();
    ASSERT_TRUE(runtime::PumpUntil([&] { return events.errors.size() >= 2; }));
    EXPECT_THAT(events.reports, IsEmpty());
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);
    device->SetOnData(nullptr);
    EXPECT_FALSE(device->HasReadThread());
}

TEST_F(ReadThreadTest, DeviceLeavingTheBusFailsTheReadsWithNotConnected) {
    auto device = StartReading();
    ASSERT_TRUE(ReadPending());
    Bus().Unplug(lastPlugged, platform::sim::TBroadcast::No);
    ASSERT_TRUE(runtime::PumpUntil([&] { return events.errors.size() >= 2; }));
    EXPECT_THAT(events.errors, Each(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_THAT(events.reports, IsEmpty());
    device->SetOnData(nullptr);
}

// However the unplug reaches the reading thread (the device leaves the bus first, or the
// unplug handling closes its handles under a pending read), each failed read start says
// why: the device is not connected, never "the operation completed successfully".
TEST_F(ReadThreadTest, ReadStartsOfAnUnpluggedDeviceFailAsNotConnected) {
    for (const bool leavesTheBusFirst : {false, true}) {
        SCOPED_TRACE(leavesTheBusFirst ? "leaves the bus, then unplug handling"
                                       : "unplug handling only");
        events = {};
        auto device = StartReading();
        ASSERT_TRUE(ReadPending());
        if (leavesTheBusFirst) {
            Bus().Unplug(lastPlugged, platform::sim::TBroadcast::No);
        }
        device->HandleUnplug();
        ASSERT_TRUE(runtime::PumpUntil([&] { return events.errors.size() >= 3; }));
        device->SetOnData(nullptr);
        EXPECT_THAT(events.errors, Each(ERROR_DEVICE_NOT_CONNECTED));
        EXPECT_THAT(events.reports, IsEmpty());
    }
}

TEST_F(ReadThreadTest, DestroyingTheDeviceStopsItsThread) {
    auto device = StartReading();
    ASSERT_TRUE(ReadPending());
    device.reset();
    EXPECT_EQ(Bus().PendingReadCount(lastPlugged), 0U);
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);
}

TEST_F(ReadThreadTest, ThrowingHandlerEndsTheThreadWhichStillStopsCleanly) {
    auto device = PlugDevice();
    device->SetThreadSleepTime(10);
    int calls = 0;
    auto throwing = [&](THidDevice*, BYTE, const BYTE*, WORD) {
        ++calls;
        throw std::runtime_error("handler failed");
    };
    THidDeviceTestAccess::CheckOut(*device);
    device->SetOnData(THidDataEvent::FromCallable(throwing));
    ASSERT_TRUE(ReadPending());
    Bus().PushInputReport(lastPlugged, Report(8));
    ASSERT_TRUE(runtime::PumpUntil([&] { return calls == 1; }));
    device->SetOnData(nullptr);
    EXPECT_FALSE(device->HasReadThread());

    // A new handler starts a new thread that reads again.
    device->SetOnData(events.OnData());
    ASSERT_TRUE(ReadPending());
    Bus().PushInputReport(lastPlugged, Report(8));
    ASSERT_TRUE(runtime::PumpUntil([&] { return events.reports.size() == 1; }));
    device->SetOnData(nullptr);
    EXPECT_EQ(calls, 1);
}

// Report lengths of any size, zero included, never take a read or a delivery past the
// buffer (the address sanitizer build checks the bytes).
class ReadThreadReportLengthTest : public ReadThreadTest,
                                   public ::testing::WithParamInterface<USHORT> {};

TEST_P(ReadThreadReportLengthTest, DeliversExactlyTheReportOrNothing) {
    const USHORT length = GetParam();
    TDeviceConfig config;
    config.InputReportByteLength = length;
    auto device = StartReading(config);
    EXPECT_EQ(THidDeviceTestAccess::ReadThread(*device)->ReadBuffer().size(), length);
    if (length == 0) {
        // No read can start into an empty buffer; each failure is reported.
        ASSERT_TRUE(runtime::PumpUntil([&] { return events.errors.size() >= 2; }));
        EXPECT_THAT(events.errors, Each(ERROR_INVALID_USER_BUFFER));
    } else {
        ASSERT_TRUE(ReadPending());
        const std::vector<BYTE> longer = Report(length + 3u, 0x21);
        Bus().PushInputReport(lastPlugged, longer);
        ASSERT_TRUE(runtime::PumpUntil([&] { return events.reports.size() == 1; }));
        EXPECT_EQ(events.reports[0].reportId, 0x21);
        EXPECT_THAT(events.reports[0].payload,
                    ElementsAreArray(longer.begin() + 1, longer.begin() + length));
    }
    device->SetOnData(nullptr);
    EXPECT_FALSE(device->HasReadThread());
}

INSTANTIATE_TEST_SUITE_P(Lengths, ReadThreadReportLengthTest,
                         ::testing::Values(USHORT{0}, USHORT{1}, USHORT{2}, USHORT{9}, USHORT{64},
                                           USHORT{513}),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param); });

} // namespace
} // namespace hid::test
