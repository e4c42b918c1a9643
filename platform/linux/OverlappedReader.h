// Overlapped reads on one open hidraw handle, emulated as the platform does them: a read is
// started by a thread, a reader thread of the handle waits for the node to become readable
// and reads one report into the caller's buffer, and the completion routine runs only in
// the starting thread's next alertable wait (TAlertableWaits), which then returns
// WAIT_IO_COMPLETION.
//
// One reader thread per handle opened for overlapped reading: in this program that is the
// adapter's read handle only. The thread is the only one that polls the descriptor; Stop()
// joins it, so the owner closes the descriptor only after nobody can poll it any more.
#pragma once

#include "platform/AlertableWaits.h"
#include "platform/PlatformTypes.h"
#include "platform/linux/UniqueFd.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform::linux_backend {

// Starts a reader's thread running the function; throws std::system_error when no thread
// can be had, as std::thread does. Tests put one in that fails.
using TThreadStarter = std::function<std::thread(std::function<void()>)>;

class TOverlappedReader {
public:
    // A reader with its thread running on fd, which must be non-blocking and outlive the
    // reader. None when no thread or wake-up descriptor can be had; error then says why.
    static std::unique_ptr<TOverlappedReader>
    Create(int fd, TAlertableWaits& waits, const TThreadStarter& startThread, DWORD& error);

    TOverlappedReader(int fd, TUniqueFd wake, TAlertableWaits& waits);
    ~TOverlappedReader();
    TOverlappedReader(const TOverlappedReader&) = delete;
    TOverlappedReader& operator=(const TOverlappedReader&) = delete;

    // Queues a read for the calling thread; 0 when started, else the error (the device has
    // gone, or the handle is closing). withoutId: the device uses no report IDs, so its
    // reports arrive without the leading byte the caller expects; the read puts a 0 there.
    DWORD Start(LPVOID buffer, DWORD size, LPOVERLAPPED overlapped,
                LPOVERLAPPED_COMPLETION_ROUTINE routine, bool withoutId = false);

    // Ends the calling thread's pending reads with ERROR_OPERATION_ABORTED.
    void CancelFor(std::thread::id thread);

    // Ends every pending read with ERROR_OPERATION_ABORTED and joins the reader thread. Not
    // from a completion routine of this reader's reads.
    void Stop();

    // The outcome a completed record holds: false while it is still pending.
    static bool Outcome(const OVERLAPPED& overlapped, DWORD& error, DWORD& bytes);

private:
    struct TRead {
        std::thread::id thread;
        LPVOID buffer;
        DWORD size;
        LPOVERLAPPED overlapped;
        LPOVERLAPPED_COMPLETION_ROUTINE routine;
        bool withoutId;
    };

    void Run();
    void Wake();
    // Writes the record and queues the routine for the read's thread. Under mutex_.
    void CompleteLocked(const TRead& read, DWORD error, DWORD bytes);
    // Reads one report for the oldest pending read. Under mutex_.
    void ReadLocked(short events);

    int fd_;
    TUniqueFd wake_; // eventfd
    TAlertableWaits& waits_;
    std::mutex mutex_;
    std::deque<TRead> pending_;
    bool stopping_ = false;
    DWORD goneError_ = ERROR_SUCCESS; // once the device has gone, every read fails so
    std::thread thread_;
};

} // namespace platform::linux_backend
