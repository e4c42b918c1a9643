#include "tests/platform/sim/SimBusFixture.h"
#include "tests/platform/sim/SimModules.h"

#include <string>
#include <vector>

namespace platform::sim::testing {
namespace {

using ::testing::ElementsAre;
using Report = std::vector<BYTE>;

class WriteTest : public SimBusTest {
protected:
    void SetUp() override {
        device = Bus().Plug();
        handle = OpenDevice(Bus(), Bus().DevicePath(device));
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        Bus().CloseHandle(handle);
        SimBusTest::TearDown();
    }

    BOOL Write(const Report& report, DWORD* written = nullptr) {
        DWORD count = 0xDEAD;
        const BOOL result = Bus().WriteFile(handle, report.data(),
                                            static_cast<DWORD>(report.size()), &count, nullptr);
        if (written != nullptr) {
            *written = count;
        }
        return result;
    }

    const Report command{0x05, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
    TSimDeviceId device = 0;
    HANDLE handle = INVALID_HANDLE_VALUE;
};

TEST_F(WriteTest, AcceptedWritesAreCapturedByteForByte) {
    DWORD written = 0;
    ASSERT_TRUE(Write(command, &written));
    EXPECT_EQ(written, 8u);
    const Report second{0x05, 1, 2, 3, 4, 5, 6, 7};
    ASSERT_TRUE(Write(second));
    EXPECT_THAT(Bus().Writes(device), ElementsAre(command, second));
}

class WriteLengthTest : public WriteTest, public ::testing::WithParamInterface<std::size_t> {};

// The class driver takes one whole output report: the length must be the output report
// length (report ID byte included), no more and no less.
TEST_P(WriteLengthTest, OtherLengthsAreRejectedAndNothingIsWritten) {
    DWORD written = 0xDEAD;
    EXPECT_FALSE(Write(Report(GetParam(), 0x05), &written));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INVALID_USER_BUFFER);
    EXPECT_EQ(written, 0u);
    EXPECT_THAT(Bus().Writes(device), ::testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Lengths, WriteLengthTest, ::testing::Values(0, 1, 7, 9, 64));

TEST_F(WriteTest, WriteNeedsWriteAccess) {
    const HANDLE query = OpenDevice(Bus(), Bus().DevicePath(device), 0);
    const HANDLE readOnly =
        OpenDevice(Bus(), Bus().DevicePath(device), GENERIC_READ, FILE_FLAG_OVERLAPPED);
    DWORD written = 0;
    EXPECT_FALSE(Bus().WriteFile(query, command.data(), 8, &written, nullptr));
    EXPECT_EQ(Bus().GetLastError(), ERROR_ACCESS_DENIED);
    OVERLAPPED overlapped{};
    EXPECT_FALSE(Bus().WriteFile(readOnly, command.data(), 8, &written, &overlapped));
    EXPECT_EQ(Bus().GetLastError(), ERROR_ACCESS_DENIED);
    Bus().CloseHandle(query);
    Bus().CloseHandle(readOnly);
}

TEST_F(WriteTest, NextWriteFailureHitsOneWriteOnly) {
    Bus().FailNextWrite(device, ERROR_GEN_FAILURE);
    EXPECT_FALSE(Write(command));
    EXPECT_EQ(Bus().GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_TRUE(Write(command));
    EXPECT_EQ(Bus().Writes(device).size(), 1u);
}

TEST_F(WriteTest, AlwaysFailingWritesFailUntilCleared) {
    Bus().FailWritesAlways(device, 121);
    EXPECT_FALSE(Write(command));
    EXPECT_FALSE(Write(command));
    EXPECT_EQ(Bus().GetLastError(), 121u);
    Bus().ClearWriteFailure(device);
    EXPECT_TRUE(Write(command));
    EXPECT_EQ(Bus().Writes(device).size(), 1u);
}

TEST_F(WriteTest, WriteToAnUnpluggedDeviceFailsAsNotConnected) {
    Bus().Unplug(device, TBroadcast::No);
    EXPECT_FALSE(Write(command));
    EXPECT_EQ(Bus().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
}

TEST_F(WriteTest, WritesOfEachDeviceAreKeptApart) {
    const TSimDeviceId other = Bus().Plug();
    const HANDLE otherHandle = OpenDevice(Bus(), Bus().DevicePath(other));
    const Report otherReport{0x05, 9, 9, 9, 9, 9, 9, 9};
    DWORD written = 0;
    ASSERT_TRUE(Bus().WriteFile(otherHandle, otherReport.data(), 8, &written, nullptr));
    ASSERT_TRUE(Write(command));
    EXPECT_THAT(Bus().Writes(device), ElementsAre(command));
    EXPECT_THAT(Bus().Writes(other), ElementsAre(otherReport));
    Bus().CloseHandle(otherHandle);
}

TEST_F(WriteTest, WriteWithoutAByteCountOrOverlapIsMisuse) {
    EXPECT_FALSE(Bus().WriteFile(handle, command.data(), 8, nullptr, nullptr));
    EXPECT_THAT(TakeViolations(), ElementsAre(::testing::HasSubstr("no byte count")));
}

} // namespace
} // namespace platform::sim::testing
