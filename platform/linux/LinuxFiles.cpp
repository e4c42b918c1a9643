#include "platform/linux/ErrnoMapping.h"
#include "platform/linux/HidrawFile.h"
#include "platform/linux/LinuxServices.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform::linux_backend {

namespace {

constexpr DWORD kDataAccess = GENERIC_READ | GENERIC_WRITE;

// The name of the node a path names (<dev root>/hidrawN), if it names one there.
std::optional<std::string_view> NodeNameOfPath(const TLinuxRoots& roots, std::string_view path) {
    const std::string_view dev = roots.Dev;
    if (!path.starts_with(dev) || path.size() <= dev.size() + 1 || path[dev.size()] != '/') {
        return std::nullopt;
    }
    const std::string_view name = path.substr(dev.size() + 1);
    if (name.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    return name;
}

int OpenFlags(DWORD access, bool overlapped) {
    int flags = O_CLOEXEC | O_NOCTTY;
    switch (access & kDataAccess) {
    case kDataAccess:
        flags |= O_RDWR;
        break;
    case GENERIC_READ:
        flags |= O_RDONLY;
        break;
    case GENERIC_WRITE:
        flags |= O_WRONLY;
        break;
    default:
        // Query only: needs no permission on the node itself.
        return O_PATH | O_CLOEXEC;
    }
    // The reader thread polls an overlapped handle and must never block in read().
    if (overlapped) {
        flags |= O_NONBLOCK;
    }
    return flags;
}

} // namespace

std::optional<THidrawNode> TLinuxServices::FindNode(std::string_view name) {
    std::shared_ptr<const TUniqueFd> classDir;
    {
        std::lock_guard lock(mutex_);
        if (!classDir_ || !*classDir_) {
            classDir_ = std::make_shared<const TUniqueFd>(OpenHidrawClass(Roots()));
        }
        classDir = classDir_;
    }
    if (!*classDir) {
        return std::nullopt;
    }
    return FindHidrawNodeAt(classDir->Get(), name);
}

std::shared_ptr<THidrawFile> TLinuxServices::File(HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto found = files_.find(handle);
    if (found == files_.end()) {
        return nullptr;
    }
    return found->second;
}

HANDLE TLinuxServices::CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD, void*,
                                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
    if (fileName == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (creationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::optional<std::string_view> name = NodeNameOfPath(Roots(), fileName);
    std::optional<THidrawNode> node = name ? FindNode(*name) : std::nullopt;
    if (!node) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const DWORD access = desiredAccess & kDataAccess;
    const bool overlapped = (flagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0;
    TUniqueFd fd(open(fileName, OpenFlags(access, overlapped)));
    ++(access != 0 ? dataOpens_ : queryOpens_);
    if (!fd) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    std::unique_ptr<TOverlappedReader> reader;
    if (overlapped && (access & GENERIC_READ) != 0) {
        DWORD error = ERROR_SUCCESS;
        reader = TOverlappedReader::Create(fd.Get(), waits_, options_.StartReaderThread, error);
        if (!reader) {
            SetLastError(error); // the descriptor closes with its owner
            return INVALID_HANDLE_VALUE;
        }
    }
    auto file = std::make_shared<THidrawFile>(std::move(fd), std::move(*node), access, overlapped,
                                              std::move(reader));
    std::lock_guard lock(mutex_);
    const HANDLE handle = reinterpret_cast<HANDLE>(nextFile_);
    nextFile_ += 4;
    files_.emplace(handle, std::move(file));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL TLinuxServices::CloseHandle(HANDLE handle) {
    std::shared_ptr<THidrawFile> file;
    {
        std::lock_guard lock(mutex_);
        const auto found = files_.find(handle);
        if (found == files_.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        file = std::move(found->second);
        files_.erase(found);
    }
    // Pending reads end with ERROR_OPERATION_ABORTED, their routines run in their threads'
    // next alertable wait. The descriptor closes when the last user lets go of it.
    if (file->reader) {
        file->reader->Stop();
    }
    return TRUE;
}

BOOL TLinuxServices::WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite,
                               LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    if (bytesWritten != nullptr) {
        *bytesWritten = 0;
    }
    const std::shared_ptr<THidrawFile> file = File(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (bytesWritten == nullptr && overlapped == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!file->CanWrite()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (buffer == nullptr || bytesToWrite == 0) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    // The class driver takes exactly one output report, report ID byte included.
    if (const auto lengths = LengthsOf(*file); lengths && bytesToWrite != lengths->Output) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    // Writes are synchronous, also on an overlapped handle: hidraw hands the report to the
    // device at once.
    const ssize_t n = write(file->fd.Get(), buffer, bytesToWrite);
    if (n < 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    if (bytesWritten != nullptr) {
        *bytesWritten = static_cast<DWORD>(n);
    }
    if (overlapped != nullptr) {
        overlapped->Internal = 0;
        overlapped->InternalHigh = static_cast<ULONG_PTR>(n);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL TLinuxServices::ReadFileEx(HANDLE handle, LPVOID buffer, DWORD bytesToRead,
                                LPOVERLAPPED overlapped, LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    const std::shared_ptr<THidrawFile> file = File(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (overlapped == nullptr || routine == nullptr || !file->overlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!file->CanRead()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (buffer == nullptr || bytesToRead == 0) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    // ... and hands out whole input reports only.
    const auto lengths = LengthsOf(*file);
    if (lengths && (lengths->Input == 0 || bytesToRead < lengths->Input)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const bool withoutId = lengths && !lengths->ReportIds;
    const DWORD error = file->reader->Start(buffer, bytesToRead, overlapped, routine, withoutId);
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}

DWORD TLinuxServices::SleepEx(DWORD milliseconds, BOOL alertable) {
    return waits_.SleepEx(milliseconds, alertable != FALSE);
}

// Reads the record only, as the platform does when not told to wait. A read completes
// only through its thread's alertable wait, so waiting here could never end: a pending
// record gives ERROR_IO_INCOMPLETE either way.
BOOL TLinuxServices::GetOverlappedResult(HANDLE, LPOVERLAPPED overlapped, LPDWORD bytesTransferred,
                                         BOOL) {
    if (overlapped == nullptr || bytesTransferred == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD error = ERROR_SUCCESS;
    DWORD bytes = 0;
    if (!TOverlappedReader::Outcome(*overlapped, error, bytes)) {
        SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    *bytesTransferred = bytes;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL TLinuxServices::CancelIo(HANDLE handle) {
    const std::shared_ptr<THidrawFile> file = File(handle);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (file->reader) {
        file->reader->CancelFor(std::this_thread::get_id());
    }
    return TRUE;
}

std::size_t TLinuxServices::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return files_.size();
}

} // namespace platform::linux_backend
