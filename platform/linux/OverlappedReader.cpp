#include "platform/linux/OverlappedReader.h"

#include "platform/OverlappedStatus.h"
#include "platform/linux/ErrnoMapping.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace platform::linux_backend {

namespace {

// Guards every overlapped record's status words: a reader thread writes them, the thread
// that started the read reads them in GetOverlappedResult.
std::mutex& RecordMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

std::unique_ptr<TOverlappedReader> TOverlappedReader::Create(int fd, TAlertableWaits& waits,
                                                             const TThreadStarter& startThread,
                                                             DWORD& error) {
    TUniqueFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake) {
        error = ErrorFromErrno(errno);
        return nullptr;
    }
    auto reader = std::make_unique<TOverlappedReader>(fd, std::move(wake), waits);
    TOverlappedReader* self = reader.get();
    try {
        std::function<void()> run = [self] {
            self->Run();
        };
        reader->thread_ = startThread ? startThread(std::move(run)) : std::thread(std::move(run));
    } catch (const std::system_error&) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return reader;
}

TOverlappedReader::TOverlappedReader(int fd, TUniqueFd wake, TAlertableWaits& waits)
    : fd_(fd), wake_(std::move(wake)), waits_(waits) {}

TOverlappedReader::~TOverlappedReader() {
    Stop();
}

bool TOverlappedReader::Outcome(const OVERLAPPED& overlapped, DWORD& error, DWORD& bytes) {
    std::lock_guard lock(RecordMutex());
    if (overlapped.Internal == kStatusPending) {
        return false;
    }
    error = ErrorFromStatus(overlapped.Internal);
    bytes = static_cast<DWORD>(overlapped.InternalHigh);
    return true;
}

DWORD TOverlappedReader::Start(LPVOID buffer, DWORD size, LPOVERLAPPED overlapped,
                               LPOVERLAPPED_COMPLETION_ROUTINE routine, bool withoutId) {
    std::lock_guard lock(mutex_);
    if (stopping_) {
        return ERROR_OPERATION_ABORTED;
    }
    if (goneError_ != ERROR_SUCCESS) {
        return goneError_;
    }
    {
        std::lock_guard record(RecordMutex());
        overlapped->Internal = kStatusPending;
        overlapped->InternalHigh = 0;
    }
    pending_.push_back(
        {std::this_thread::get_id(), buffer, size, overlapped, routine, withoutId && size > 1});
    Wake();
    return ERROR_SUCCESS;
}

void TOverlappedReader::CancelFor(std::thread::id thread) {
    std::lock_guard lock(mutex_);
    std::deque<TRead> kept;
    for (const TRead& read : pending_) {
        if (read.thread == thread) {
            CompleteLocked(read, ERROR_OPERATION_ABORTED, 0);
        } else {
            kept.push_back(read);
        }
    }
    pending_.swap(kept);
    Wake();
}

void TOverlappedReader::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        stopping_ = true;
        for (const TRead& read : pending_) {
            CompleteLocked(read, ERROR_OPERATION_ABORTED, 0);
        }
        pending_.clear();
        Wake();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TOverlappedReader::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wake_.Get(), &one, sizeof one);
}

void TOverlappedReader::CompleteLocked(const TRead& read, DWORD error, DWORD bytes) {
    {
        std::lock_guard record(RecordMutex());
        read.overlapped->Internal = StatusFromError(error);
        read.overlapped->InternalHigh = bytes;
    }
    // The routine gets values only: the record may be gone by the time a stale completion
    // runs in a thread that never waited alertably again.
    waits_.Queue(read.thread, [routine = read.routine, error, bytes, ov = read.overlapped] {
        routine(error, bytes, ov);
    });
}

void TOverlappedReader::ReadLocked(short events) {
    if (pending_.empty()) {
        return;
    }
    const TRead next = pending_.front();
    auto* bytes = static_cast<BYTE*>(next.buffer);
    const DWORD skip = next.withoutId ? 1 : 0;
    const ssize_t n = read(fd_, bytes + skip, next.size - skip);
    if (n > 0) {
        if (next.withoutId) {
            bytes[0] = 0;
        }
        pending_.pop_front();
        CompleteLocked(next, ERROR_SUCCESS, static_cast<DWORD>(n) + skip);
        return;
    }
    const int error = n == 0 ? EIO : errno;
    if (n < 0 && (error == EAGAIN || error == EINTR)) {
        // Readable but nothing to read: only a hang-up says the device has gone.
        if ((events & (POLLHUP | POLLERR)) == 0) {
            return;
        }
    }
    const DWORD code =
        (error == EAGAIN || error == EINTR) ? ERROR_DEVICE_NOT_CONNECTED : ErrorFromErrno(error);
    pending_.pop_front();
    CompleteLocked(next, code, 0);
    if (code == ERROR_DEVICE_NOT_CONNECTED) {
        goneError_ = code;
        for (const TRead& other : pending_) {
            CompleteLocked(other, code, 0);
        }
        pending_.clear();
    }
}

void TOverlappedReader::Run() {
    for (;;) {
        bool wantData = false;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                return;
            }
            wantData = !pending_.empty() && goneError_ == ERROR_SUCCESS;
        }
        pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {fd_, POLLIN, 0}};
        const int ready = poll(fds, wantData ? 2 : 1, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t drained = read(wake_.Get(), &count, sizeof count);
        }
        if (wantData && fds[1].revents != 0) {
            std::lock_guard lock(mutex_);
            if (!stopping_) {
                ReadLocked(fds[1].revents);
            }
        }
    }
}

} // namespace platform::linux_backend
