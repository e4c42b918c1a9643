#include "platform/ModuleLoader.h"
#include "platform/PlatformServices.h"

#include <array>
#include <atomic>
#include <gtest/gtest.h>
#include <string>

namespace {

using PFN_CancelIo = BOOL(WINAPI*)(HANDLE);

struct Completion {
    int Calls = 0;
    DWORD Error = 0;
    DWORD Bytes = 0;
};

// The routine finds its record through the overlap record's event field, which ReadFileEx
// leaves to the caller.
void WINAPI Completed(DWORD error, DWORD bytes, LPOVERLAPPED overlapped) {
    auto* completion = static_cast<Completion*>(overlapped->hEvent);
    ++completion->Calls;
    completion->Error = error;
    completion->Bytes = bytes;
}

// A pipe whose reading end is opened through the services as a device is: by path, shared,
// overlapped. The writing end stays with the test.
class OverlappedPipe : public testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> serial{0};
        const std::string name = "\\\\.\\pipe\\vuz-overlapped-" +
                                 std::to_string(::GetCurrentProcessId()) + "-" +
                                 std::to_string(serial++);
        writer = ::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                    1, 4096, 4096, 0, nullptr);
        ASSERT_NE(writer, INVALID_HANDLE_VALUE) << "last error " << ::GetLastError();
        reader =
            services.CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE) << "last error " << services.GetLastError();
        overlapped.hEvent = &completion;
    }
    void TearDown() override {
        if (reader != INVALID_HANDLE_VALUE) {
            // A read still pending must end before its buffer and records go.
            ::CancelIo(reader);
            while (completion.Calls == 0 && started &&
                   services.SleepEx(1000, TRUE) == WAIT_IO_COMPLETION) {
            }
            EXPECT_TRUE(services.CloseHandle(reader));
        }
        if (writer != INVALID_HANDLE_VALUE) {
            ::CloseHandle(writer);
        }
    }

    bool StartRead() {
        started = services.ReadFileEx(reader, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      &overlapped, Completed) != FALSE;
        return started;
    }

    void Write(const std::string& bytes) {
        DWORD written = 0;
        ASSERT_TRUE(
            ::WriteFile(writer, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ASSERT_EQ(written, bytes.size());
    }

    platform::TPlatformServices& services = platform::Services();
    HANDLE writer = INVALID_HANDLE_VALUE;
    HANDLE reader = INVALID_HANDLE_VALUE;
    std::array<char, 8> buffer{};
    OVERLAPPED overlapped{};
    Completion completion;
    bool started = false;
};

TEST_F(OverlappedPipe, ReadCompletesOnlyInAnAlertableSleep) {
    ASSERT_TRUE(StartRead()) << "last error " << services.GetLastError();
    // Nothing to read yet: the wait times out without running the routine.
    EXPECT_EQ(services.SleepEx(0, TRUE), 0u);
    EXPECT_EQ(completion.Calls, 0);

    Write("report!");
    // Done, but the routine waits for an alertable wait.
    EXPECT_EQ(services.SleepEx(0, FALSE), 0u);
    EXPECT_EQ(completion.Calls, 0);

    EXPECT_EQ(services.SleepEx(10000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(completion.Calls, 1);
    EXPECT_EQ(completion.Error, 0u);
    EXPECT_EQ(completion.Bytes, 7u);
    EXPECT_EQ(std::string(buffer.data(), 7), "report!");

    DWORD bytes = 0;
    EXPECT_TRUE(services.GetOverlappedResult(reader, &overlapped, &bytes, FALSE));
    EXPECT_EQ(bytes, 7u);
}

TEST_F(OverlappedPipe, CancelIoFoundThroughTheLoaderAbortsThePendingRead) {
    ASSERT_TRUE(StartRead());
    {
        const platform::TScopedLibrary kernel32("kernel32.dll");
        ASSERT_TRUE(kernel32);
        const auto cancelIo = platform::FromFarProc<PFN_CancelIo>(kernel32.Find("CancelIo"));
        ASSERT_NE(cancelIo, nullptr);
        EXPECT_TRUE(cancelIo(reader));
    }
    EXPECT_EQ(services.SleepEx(10000, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(completion.Calls, 1);
    EXPECT_EQ(completion.Error, DWORD{ERROR_OPERATION_ABORTED});

    DWORD bytes = 1;
    EXPECT_FALSE(services.GetOverlappedResult(reader, &overlapped, &bytes, FALSE));
    EXPECT_EQ(services.GetLastError(), DWORD{ERROR_OPERATION_ABORTED});
    EXPECT_EQ(bytes, 0u);
}

TEST(PipeWrite, ASynchronousWriteReachesTheOtherEnd) {
    auto& services = platform::Services();
    const std::string name = "\\\\.\\pipe\\vuz-write-" + std::to_string(::GetCurrentProcessId());
    const HANDLE inbound = ::CreateNamedPipeA(
        name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(inbound, INVALID_HANDLE_VALUE);
    const HANDLE device =
        services.CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    const std::array<BYTE, 8> report{0x05, 0x00, 0x02};
    DWORD written = 0;
    EXPECT_TRUE(services.WriteFile(device, report.data(), 8, &written, nullptr));
    EXPECT_EQ(written, 8u);
    std::array<BYTE, 8> got{};
    DWORD read = 0;
    EXPECT_TRUE(::ReadFile(inbound, got.data(), 8, &read, nullptr));
    EXPECT_EQ(read, 8u);
    EXPECT_EQ(got, report);
    EXPECT_TRUE(services.CloseHandle(device));
    ::CloseHandle(inbound);
}

TEST(CreateFile, AMissingPathGivesTheInvalidHandleAndTheSystemsError) {
    auto& services = platform::Services();
    EXPECT_EQ(services.CreateFileA("\\\\?\\no-such-device#0", 0, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_NE(services.GetLastError(), 0u);
}

} // namespace
