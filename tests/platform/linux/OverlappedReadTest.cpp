#include "LinuxServicesFixture.h"

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <latch>
#include <ostream>
#include <system_error>
#include <thread>
#include <vector>

namespace platform::linux_backend::testing {
namespace {

using ::testing::ElementsAreArray;

// What a completion routine was called with; found through the record's event member,
// which the completion-routine form of read leaves to the caller.
struct TCompletion {
    std::atomic<int> calls{0};
    DWORD error = 0xFFFFFFFF;
    DWORD bytes = 0xFFFFFFFF;
};

void Routine(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) {
    auto* completion = static_cast<TCompletion*>(overlapped->hEvent);
    completion->error = error;
    completion->bytes = bytes;
    completion->calls.fetch_add(1);
}

struct TRead {
    OVERLAPPED overlapped{};
    TCompletion completion;
    std::array<BYTE, 8> buffer{};

    BOOL Start(TLinuxServices& services, HANDLE handle) {
        overlapped = {};
        overlapped.hEvent = &completion;
        return services.ReadFileEx(handle, buffer.data(), buffer.size(), &overlapped, &Routine);
    }
};

class OverlappedRead : public LinuxServicesTest {
protected:
    void SetUp() override {
        node_ = Tree().Plug();
        reader_ = Open(node_, GENERIC_READ, FILE_FLAG_OVERLAPPED);
        ASSERT_NE(reader_, INVALID_HANDLE_VALUE);
    }

    void TearDown() override {
        if (reader_ != INVALID_HANDLE_VALUE) {
            Linux().CloseHandle(reader_);
        }
        // The routines of reads ended by the close run in this thread's next wait.
        Linux().SleepEx(0, TRUE);
        EXPECT_EQ(Linux().OpenHandleCount(), 0u);
    }

    unsigned node_ = 0;
    HANDLE reader_ = INVALID_HANDLE_VALUE;
};

TEST_F(OverlappedRead, CompletesOnlyInsideTheReadingThreadsAlertableWait) {
    TRead read;
    ASSERT_TRUE(read.Start(Linux(), reader_));
    const std::vector<BYTE> report = {5, 1, 2, 3, 4, 5, 6, 7};
    Tree().Feed(node_, report);

    // Neither a plain sleep nor another thread's alertable wait runs the routine.
    EXPECT_EQ(Linux().SleepEx(0, FALSE), 0u);
    std::thread other([this] { EXPECT_EQ(Linux().SleepEx(20, TRUE), 0u); });
    other.join();
    EXPECT_EQ(read.completion.calls.load(), 0);

    EXPECT_EQ(Linux().SleepEx(INFINITE, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(read.completion.calls.load(), 1);
    EXPECT_EQ(read.completion.error, ERROR_SUCCESS);
    EXPECT_EQ(read.completion.bytes, 8u);
    EXPECT_THAT(read.buffer, ElementsAreArray(report));
    DWORD bytes = 0;
    EXPECT_TRUE(Linux().GetOverlappedResult(reader_, &read.overlapped, &bytes, FALSE));
    EXPECT_EQ(bytes, 8u);
}

TEST_F(OverlappedRead, SleepTimesOutWhileNothingArrives) {
    TRead read;
    ASSERT_TRUE(read.Start(Linux(), reader_));
    EXPECT_EQ(Linux().SleepEx(10, TRUE), 0u);
    DWORD bytes = 99;
    EXPECT_FALSE(Linux().GetOverlappedResult(reader_, &read.overlapped, &bytes, FALSE));
    EXPECT_EQ(Linux().GetLastError(), ERROR_IO_INCOMPLETE);
    EXPECT_EQ(read.completion.calls.load(), 0);
    // The record must outlive its read.
    EXPECT_TRUE(Linux().CancelIo(reader_));
    EXPECT_EQ(Linux().SleepEx(INFINITE, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(read.completion.error, ERROR_OPERATION_ABORTED);
}

TEST_F(OverlappedRead, DeliversSuccessiveReportsToSuccessiveReads) {
    for (BYTE i = 1; i <= 3; ++i) {
        TRead read;
        ASSERT_TRUE(read.Start(Linux(), reader_));
        Tree().Feed(node_, {5, i, i, i, i, i, i, i});
        ASSERT_EQ(Linux().SleepEx(INFINITE, TRUE), WAIT_IO_COMPLETION);
        EXPECT_EQ(read.buffer[1], i);
    }
}

TEST_F(OverlappedRead, CloseFromAnotherThreadEndsThePendingReadAndWakesTheSleep) {
    TRead read;
    std::latch started(1);
    DWORD slept = 0;
    std::thread thread([&] {
        ASSERT_TRUE(read.Start(Linux(), reader_));
        started.count_down();
        slept = Linux().SleepEx(INFINITE, TRUE);
    });
    started.wait();
    EXPECT_TRUE(Linux().CloseHandle(reader_));
    reader_ = INVALID_HANDLE_VALUE;
    thread.join();
    EXPECT_EQ(slept, WAIT_IO_COMPLETION);
    EXPECT_EQ(read.completion.error, ERROR_OPERATION_ABORTED);
    DWORD bytes = 99;
    EXPECT_FALSE(Linux().GetOverlappedResult(nullptr, &read.overlapped, &bytes, FALSE));
    EXPECT_EQ(Linux().GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_EQ(bytes, 0u);
}

TEST_F(OverlappedRead, CancelEndsOnlyTheCallingThreadsReads) {
    TRead mine;
    TRead theirs;
    std::latch started(1);
    DWORD slept = 0;
    std::thread thread([&] {
        ASSERT_TRUE(theirs.Start(Linux(), reader_));
        started.count_down();
        slept = Linux().SleepEx(INFINITE, TRUE);
    });
    started.wait();
    ASSERT_TRUE(mine.Start(Linux(), reader_));
    EXPECT_TRUE(Linux().CancelIo(reader_));
    EXPECT_EQ(Linux().SleepEx(INFINITE, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(mine.completion.error, ERROR_OPERATION_ABORTED);

    // The other thread's read is still waiting for a report.
    Tree().Feed(node_, {5, 9, 9, 9, 9, 9, 9, 9});
    thread.join();
    EXPECT_EQ(slept, WAIT_IO_COMPLETION);
    EXPECT_EQ(theirs.completion.error, ERROR_SUCCESS);
    EXPECT_EQ(theirs.buffer[1], 9);
}

TEST_F(OverlappedRead, CloseEndsTheCallersOwnPendingReadToo) {
    TRead read;
    ASSERT_TRUE(read.Start(Linux(), reader_));
    EXPECT_TRUE(Linux().CloseHandle(reader_));
    reader_ = INVALID_HANDLE_VALUE;
    EXPECT_EQ(Linux().SleepEx(INFINITE, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(read.completion.error, ERROR_OPERATION_ABORTED);
}

TEST_F(OverlappedRead, UnplugEndsThePendingReadAsNotConnectedAndRefusesNewOnes) {
    const HANDLE general = Open(node_, GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(general, INVALID_HANDLE_VALUE);
    TRead read;
    ASSERT_TRUE(read.Start(Linux(), reader_));
    Tree().Unplug(node_);
    EXPECT_EQ(Linux().SleepEx(INFINITE, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(read.completion.error, ERROR_DEVICE_NOT_CONNECTED);
    DWORD bytes = 99;
    EXPECT_FALSE(Linux().GetOverlappedResult(reader_, &read.overlapped, &bytes, FALSE));
    EXPECT_EQ(Linux().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);

    TRead again;
    EXPECT_FALSE(again.Start(Linux(), reader_));
    EXPECT_EQ(Linux().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);

    const BYTE report[8] = {5, 0, 2};
    DWORD written = 0;
    EXPECT_FALSE(Linux().WriteFile(general, report, sizeof report, &written, nullptr));
    EXPECT_EQ(Linux().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_TRUE(Linux().CloseHandle(general));
}

TEST_F(OverlappedRead, WriteReachesTheNodeByteForByte) {
    const HANDLE general = Open(node_, GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(general, INVALID_HANDLE_VALUE);
    const std::vector<BYTE> report = {0x05, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
    DWORD written = 0;
    ASSERT_TRUE(Linux().WriteFile(general, report.data(), 8, &written, nullptr));
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(Tree().Drain(node_, 8), report);
    EXPECT_TRUE(Linux().CloseHandle(general));
}

// A handle for writing opens its node at the first write. Its device may have left by then,
// and another device may have taken the node's name: the write must reach neither.
TEST_F(LinuxServicesTest, WriteOnAHandleWhoseDeviceLeftReachesNoDevice) {
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "another device took the name" : "the node has gone");
        const unsigned node = Tree().Plug();
        const HANDLE stale = Open(node, GENERIC_READ | GENERIC_WRITE);
        ASSERT_NE(stale, INVALID_HANDLE_VALUE);
        Tree().Unplug(node);
        if (replaced) {
            ASSERT_EQ(Tree().Plug({}, node), node);
        }
        const std::vector<BYTE> command = {0x05, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
        DWORD written = 99;
        EXPECT_FALSE(Linux().WriteFile(stale, command.data(), 8, &written, nullptr));
        EXPECT_EQ(Linux().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
        EXPECT_EQ(written, 0u);
        EXPECT_TRUE(Linux().CloseHandle(stale));
        if (replaced) {
            // The new device gets only what is written to it on a handle of its own.
            const HANDLE fresh = Open(node, GENERIC_READ | GENERIC_WRITE);
            const std::vector<BYTE> own = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
            ASSERT_TRUE(Linux().WriteFile(fresh, own.data(), 8, &written, nullptr));
            EXPECT_EQ(Tree().Drain(node, 8), own);
            EXPECT_TRUE(Linux().CloseHandle(fresh));
            Tree().Unplug(node);
        }
    }
}

TEST_F(OverlappedRead, TakesWholeReportsOnly) {
    const HANDLE general = Open(node_, GENERIC_READ | GENERIC_WRITE);
    const BYTE report[9] = {5, 0, 2};
    DWORD written = 99;
    EXPECT_FALSE(Linux().WriteFile(general, report, 7, &written, nullptr));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_USER_BUFFER);
    EXPECT_FALSE(Linux().WriteFile(general, report, 9, &written, nullptr));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_USER_BUFFER);
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(Linux().CloseHandle(general));

    OVERLAPPED overlapped{};
    BYTE small[7];
    EXPECT_FALSE(Linux().ReadFileEx(reader_, small, sizeof small, &overlapped, &Routine));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_USER_BUFFER);
}

// hidraw hands a device's reports over as they come: without a leading ID byte when the
// device uses no report IDs. Callers always get the ID byte first, 0 for such devices.
TEST_F(LinuxServicesTest, ReportsOfADeviceWithoutReportIdsArriveAfterAZeroByte) {
    TFakeDevice keyboard;
    keyboard.Descriptor = BootKeyboardDescriptor();
    const unsigned node = Tree().Plug(keyboard);
    const HANDLE handle = Open(node, GENERIC_READ, FILE_FLAG_OVERLAPPED);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    std::array<BYTE, 9> buffer;
    buffer.fill(0xEE);
    TCompletion completion;
    OVERLAPPED overlapped{};
    overlapped.hEvent = &completion;
    ASSERT_TRUE(Linux().ReadFileEx(handle, buffer.data(), buffer.size(), &overlapped, &Routine));
    Tree().Feed(node, {0x02, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00});
    ASSERT_EQ(Linux().SleepEx(INFINITE, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(completion.error, ERROR_SUCCESS);
    EXPECT_EQ(completion.bytes, 9u);
    const std::array<BYTE, 9> expected = {0x00, 0x02, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(buffer, expected);
    EXPECT_TRUE(Linux().CloseHandle(handle));
}

// The descriptors this process holds now.
std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

class ReaderThreadRefused : public LinuxServicesTest {
protected:
    ReaderThreadRefused()
        : LinuxServicesTest([](TLinuxOptions& options) {
              options.StartReaderThread = [](std::function<void()>) -> std::thread {
                  throw std::system_error(
                      std::make_error_code(std::errc::resource_unavailable_try_again));
              };
          }) {}
};

// Out of threads: the overlapped open fails as out of memory and keeps no descriptor;
// opens that need no reader still work.
TEST_F(ReaderThreadRefused, FailsTheOverlappedOpenAndKeepsNothing) {
    const unsigned node = Tree().Plug();
    // What the services keep open for looking nodes up is there from the first open on.
    const HANDLE query = Open(node, 0);
    ASSERT_NE(query, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Linux().CloseHandle(query));
    const std::size_t before = OpenDescriptors();
    HANDLE handle = nullptr;
    EXPECT_NO_THROW(handle = Open(node, GENERIC_READ, FILE_FLAG_OVERLAPPED));
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Linux().GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(OpenDescriptors(), before);
    EXPECT_EQ(Linux().OpenHandleCount(), 0u);

    const HANDLE general = Open(node, GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(general, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Linux().CloseHandle(general));
}

struct StartCase {
    const char* name;
    DWORD access;
    DWORD flags;
    bool withRoutine;
    DWORD error;
};

void PrintTo(const StartCase& c, std::ostream* out) {
    *out << c.name;
}

class ReadStartFailures : public LinuxServicesTest,
                          public ::testing::WithParamInterface<StartCase> {};

TEST_P(ReadStartFailures, SetThePlatformError) {
    const unsigned node = Tree().Plug();
    const HANDLE handle = Open(node, GetParam().access, GetParam().flags);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped{};
    BYTE buffer[8];
    EXPECT_FALSE(Linux().ReadFileEx(handle, buffer, sizeof buffer, &overlapped,
                                    GetParam().withRoutine ? &Routine : nullptr));
    EXPECT_EQ(Linux().GetLastError(), GetParam().error);
    EXPECT_TRUE(Linux().CloseHandle(handle));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadStartFailures,
    ::testing::Values(
        StartCase{"synchronous", GENERIC_READ | GENERIC_WRITE, 0, true, ERROR_INVALID_PARAMETER},
        StartCase{"query_only", 0, 0, true, ERROR_INVALID_PARAMETER},
        StartCase{"write_only", GENERIC_WRITE, FILE_FLAG_OVERLAPPED, true, ERROR_ACCESS_DENIED},
        StartCase{"no_routine", GENERIC_READ, FILE_FLAG_OVERLAPPED, false,
                  ERROR_INVALID_PARAMETER}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OverlappedRead, UnknownHandlesAreInvalid) {
    const HANDLE bogus = reinterpret_cast<HANDLE>(0x999);
    TRead read;
    EXPECT_FALSE(read.Start(Linux(), bogus));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(Linux().CancelIo(bogus));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_HANDLE);
}

} // namespace
} // namespace platform::linux_backend::testing
