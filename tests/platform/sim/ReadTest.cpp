#include "tests/platform/sim/SimBusFixture.h"
#include "tests/platform/sim/SimModules.h"

#include <thread>
#include <vector>

namespace platform::sim::testing {
namespace {

using ::testing::ElementsAre;
using Report = std::vector<BYTE>;

// One overlapped read with its buffer; the completion routine finds it through hEvent, as
// the program's device does.
struct TRead {
    OVERLAPPED overlapped{};
    Report buffer = Report(8, 0xEE);
    int calls = 0;
    DWORD error = 0xFFFF;
    DWORD bytes = 0;
    std::thread::id thread;
};

void Completed(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) {
    auto* read = static_cast<TRead*>(overlapped->hEvent);
    ++read->calls;
    read->error = error;
    read->bytes = bytes;
    read->thread = std::this_thread::get_id();
}

class ReadTest : public SimBusTest {
protected:
    void SetUp() override {
        device = Bus().Plug();
        handle = OpenDevice(Bus(), Bus().DevicePath(device), GENERIC_READ, FILE_FLAG_OVERLAPPED);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (handle != INVALID_HANDLE_VALUE) {
            Bus().CloseHandle(handle);
        }
        SimBusTest::TearDown();
    }

    BOOL Start(TRead& read) {
        read.overlapped = OVERLAPPED{};
        read.overlapped.hEvent = &read;
        return Bus().ReadFileEx(handle, read.buffer.data(), static_cast<DWORD>(read.buffer.size()),
                                &read.overlapped, &Completed);
    }

    // Closing completes a pending read into its record, as the platform does: the record must
    // still exist then.
    void CloseWhileReadIsAlive() {
        Bus().CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }

    // Waits until thread sleeps alertably with n reads pending on the device.
    void AwaitSleeper(std::thread::id thread, std::size_t pending = 1) {
        ASSERT_TRUE(Bus().WaitUntil([&] {
            return Bus().IsInAlertableWait(thread) && Bus().PendingReadCount(device) == pending;
        }));
    }

    const Report report{0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    TSimModules modules{Bus()};
    TSimDeviceId device = 0;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

TEST_F(ReadTest, ReadCompletesOnlyInTheAlertableSleepOfTheThreadThatStartedIt) {
    TRead read;
    ASSERT_TRUE(Start(read));
    EXPECT_EQ(Bus().PushInputReport(device, report), 1u);

    DWORD otherThreadSleep = 0xFFFF;
    std::thread other([&] { otherThreadSleep = Bus().SleepEx(0, TRUE); });
    other.join();
    EXPECT_EQ(otherThreadSleep, 0u);
    EXPECT_EQ(Bus().SleepEx(0, FALSE), 0u);
    EXPECT_EQ(read.calls, 0);

    EXPECT_EQ(Bus().SleepEx(1000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(read.calls, 1);
    EXPECT_EQ(read.error, ERROR_SUCCESS);
    EXPECT_EQ(read.bytes, 8u);
    EXPECT_EQ(read.thread, std::this_thread::get_id());
    EXPECT_EQ(read.buffer, report);
    DWORD bytes = 0;
    EXPECT_TRUE(Bus().GetOverlappedResult(handle, &read.overlapped, &bytes, FALSE));
    EXPECT_EQ(bytes, 8u);
}

TEST_F(ReadTest, ResultIsIncompleteWhilePendingAndReadyAsSoonAsTheReportArrives) {
    TRead read;
    ASSERT_TRUE(Start(read));
    DWORD bytes = 0xDEAD;
    EXPECT_FALSE(Bus().GetOverlappedResult(handle, &read.overlapped, &bytes, FALSE));
    EXPECT_EQ(Bus().GetLastError(), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(Bus().SleepEx(1, TRUE), 0u);

    Bus().PushInputReport(device, report);
    EXPECT_TRUE(Bus().GetOverlappedResult(handle, &read.overlapped, &bytes, FALSE));
    EXPECT_EQ(bytes, 8u);
    EXPECT_EQ(Bus().SleepEx(0, TRUE), WAIT_IO_COMPLETION);
}

TEST_F(ReadTest, ReportsWaitInTheHandlesBoundedQueueOldestDroppedFirst) {
    ASSERT_TRUE(modules.SetNumInputBuffers(handle, 2));
    const Report first{1, 1}, second{2, 2}, third{3, 3};
    for (const Report& r : {first, second, third}) {
        Bus().PushInputReport(device, r);
    }
    EXPECT_EQ(Bus().QueuedInputReportCount(device), 2u);

    TRead read;
    ASSERT_TRUE(Start(read));
    EXPECT_EQ(Bus().SleepEx(0, TRUE), WAIT_IO_COMPLETION);
    // Short reports are padded to the input report length.
    EXPECT_EQ(read.buffer, (Report{2, 2, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(Start(read));
    EXPECT_EQ(Bus().SleepEx(0, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(read.buffer, (Report{3, 3, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(Start(read));
    EXPECT_EQ(Bus().PendingReadCount(device), 1u);
    CloseWhileReadIsAlive();
}

TEST_F(ReadTest, ACompletionWakesAThreadSleepingAlertably) {
    TRead read;
    DWORD slept = 0;
    std::thread reader([&] {
        ASSERT_TRUE(Start(read));
        slept = Bus().SleepEx(60000, TRUE);
    });
    AwaitSleeper(reader.get_id());
    Bus().PushInputReport(device, report);
    reader.join();
    EXPECT_EQ(slept, WAIT_IO_COMPLETION);
    EXPECT_EQ(read.error, ERROR_SUCCESS);
    EXPECT_EQ(read.buffer, report);
}

TEST_F(ReadTest, CloseFromAnotherThreadCompletesThePendingReadAndWakesTheSleeper) {
    TRead read;
    DWORD slept = 0;
    BOOL result = TRUE;
    DWORD resultError = 0;
    std::thread reader([&] {
        ASSERT_TRUE(Start(read));
        slept = Bus().SleepEx(60000, TRUE);
        DWORD bytes = 0xDEAD;
        result = Bus().GetOverlappedResult(handle, &read.overlapped, &bytes, FALSE);
        resultError = Bus().GetLastError();
    });
    AwaitSleeper(reader.get_id());
    ASSERT_TRUE(Bus().CloseHandle(handle));
    reader.join();
    handle = INVALID_HANDLE_VALUE;

    EXPECT_EQ(slept, WAIT_IO_COMPLETION);
    EXPECT_EQ(read.error, ERROR_OPERATION_ABORTED);
    EXPECT_FALSE(result);
    EXPECT_EQ(resultError, ERROR_OPERATION_ABORTED);
}

TEST_F(ReadTest, CancelIoCancelsOnlyTheCallingThreadsReads) {
    TRead mine;
    TRead theirs;
    DWORD theirSleep = 0;
    std::thread other([&] {
        ASSERT_TRUE(Start(theirs));
        theirSleep = Bus().SleepEx(60000, TRUE);
    });
    AwaitSleeper(other.get_id());
    ASSERT_TRUE(Start(mine));
    ASSERT_EQ(Bus().PendingReadCount(device), 2u);

    EXPECT_TRUE(modules.CancelIo(handle));
    EXPECT_EQ(Bus().PendingReadCount(device), 1u);
    EXPECT_EQ(Bus().SleepEx(0, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(mine.error, ERROR_OPERATION_ABORTED);
    EXPECT_EQ(mine.bytes, 0u);

    Bus().PushInputReport(device, report);
    other.join();
    EXPECT_EQ(theirSleep, WAIT_IO_COMPLETION);
    EXPECT_EQ(theirs.error, ERROR_SUCCESS);
    EXPECT_EQ(theirs.buffer, report);
}

TEST_F(ReadTest, UnplugCompletesThePendingReadAndLaterStartsFail) {
    TRead read;
    ASSERT_TRUE(Start(read));
    Bus().Unplug(device, TBroadcast::No);
    EXPECT_EQ(Bus().SleepEx(0, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(read.error, ERROR_DEVICE_NOT_CONNECTED);
    DWORD bytes = 0xDEAD;
    EXPECT_FALSE(Bus().GetOverlappedResult(handle, &read.overlapped, &bytes, FALSE));
    EXPECT_EQ(Bus().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(bytes, 0u);

    EXPECT_FALSE(Start(read));
    EXPECT_EQ(Bus().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(ReadTest, InjectedReadStartFailures) {
    TRead read;
    Bus().FailNextReadStart(device, ERROR_GEN_FAILURE);
    EXPECT_FALSE(Start(read));
    EXPECT_EQ(Bus().GetLastError(), ERROR_GEN_FAILURE);
    ASSERT_TRUE(Start(read));
    EXPECT_TRUE(modules.CancelIo(handle));
    EXPECT_EQ(Bus().SleepEx(0, TRUE), WAIT_IO_COMPLETION);

    Bus().FailReadStartsAlways(device, ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_FALSE(Start(read));
    EXPECT_FALSE(Start(read));
    EXPECT_EQ(Bus().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    Bus().ClearReadStartFailure(device);
    EXPECT_TRUE(Start(read));
    CloseWhileReadIsAlive();
}

TEST_F(ReadTest, ReadsNeedAnOverlappedReadHandleAndAWholeReportsRoom) {
    TRead read;
    read.overlapped.hEvent = &read;
    const HANDLE general = OpenDevice(Bus(), Bus().DevicePath(device));
    EXPECT_FALSE(Bus().ReadFileEx(general, read.buffer.data(), 8, &read.overlapped, &Completed));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INVALID_PARAMETER);
    const HANDLE writer =
        OpenDevice(Bus(), Bus().DevicePath(device), GENERIC_WRITE, FILE_FLAG_OVERLAPPED);
    EXPECT_FALSE(Bus().ReadFileEx(writer, read.buffer.data(), 8, &read.overlapped, &Completed));
    EXPECT_EQ(Bus().GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Bus().ReadFileEx(handle, read.buffer.data(), 7, &read.overlapped, &Completed));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INVALID_USER_BUFFER);
    Bus().CloseHandle(general);
    Bus().CloseHandle(writer);
    EXPECT_EQ(Bus().PendingReadCount(device), 0u);
}

TEST_F(ReadTest, ReusingTheRecordOfAPendingReadIsMisuse) {
    TRead read;
    ASSERT_TRUE(Start(read));
    EXPECT_FALSE(Bus().ReadFileEx(handle, read.buffer.data(), 8, &read.overlapped, &Completed));
    EXPECT_THAT(TakeViolations(), ElementsAre(::testing::HasSubstr("reused")));
    CloseWhileReadIsAlive();
}

} // namespace
} // namespace platform::sim::testing
