#include "platform/linux/ErrnoMapping.h"
#include "platform/linux/HidrawFile.h"
#include "platform/linux/LinuxServices.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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
    default:
        flags |= O_WRONLY;
        break;
    }
    // The reader thread polls an overlapped handle and must never block in read().
    if (overlapped) {
        flags |= O_NONBLOCK;
    }
    return flags;
}

// Whether a handle with that access could open the node, decided as the open itself would
// decide it (modes, ACLs such as udev's uaccess, capabilities), without opening it. Data
// handles need a device node: like the platform, a directory is refused access.
DWORD CheckAccess(const char* path, DWORD access) {
    int mode = F_OK;
    if (access != 0) {
        struct stat status {};
        if (stat(path, &status) != 0) {
            return ErrorFromErrno(errno);
        }
        if (!S_ISCHR(status.st_mode)) {
            return ERROR_ACCESS_DENIED;
        }
        mode =
            ((access & GENERIC_READ) != 0 ? R_OK : 0) | ((access & GENERIC_WRITE) != 0 ? W_OK : 0);
    }
    return faccessat(AT_FDCWD, path, mode, AT_EACCESS) == 0 ? ERROR_SUCCESS : ErrorFromErrno(errno);
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

std::optional<THidrawNode> TLinuxServices::InstanceOfPath(std::string_view path, DWORD& error) {
    const std::optional<std::string_view> name = NodeNameOfPath(Roots(), path);
    if (!name) {
        error = ERROR_FILE_NOT_FOUND;
        return std::nullopt;
    }
    std::optional<THidrawNode> issued;
    {
        std::lock_guard lock(mutex_);
        if (const auto found = issued_.find(*name); found != issued_.end()) {
            issued = found->second;
        }
    }
    if (issued) {
        if (!IsPresent(*issued)) {
            error = ERROR_DEVICE_NOT_CONNECTED;
            return std::nullopt;
        }
        error = ERROR_SUCCESS;
        return issued;
    }
    std::optional<THidrawNode> now = FindNode(*name);
    error = now ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    return now;
}

bool TLinuxServices::IsPresent(const THidrawNode& node) {
    const std::optional<THidrawNode> now = FindNode(node.Name);
    return now && now->DevPath == node.DevPath;
}

DWORD TLinuxServices::CheckOpenedNode(int fd, const THidrawNode& node) {
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return ErrorFromErrno(errno);
    }
    // The number is the instance's as long as the instance is present; checked after the
    // open, a present instance means the descriptor is on its node, not a successor's.
    if (!S_ISCHR(status.st_mode)) {
        return ERROR_ACCESS_DENIED; // as for a handle made without opening
    }
    const std::optional<dev_t> number = ReadNodeDeviceNumber(Roots(), node);
    if (!number || status.st_rdev != *number || !IsPresent(node)) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    return ERROR_SUCCESS;
}

DWORD TLinuxServices::OpenError(int error, const THidrawNode& node) {
    if ((error == ENOENT || error == ENODEV || error == ENXIO) && !IsPresent(node)) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    return ErrorFromErrno(error);
}

TUniqueFd TLinuxServices::OpenNodeOf(const THidrawFile& file, DWORD& error) {
    const std::string path = Roots().Dev + "/" + file.node.Name;
    TUniqueFd fd(open(path.c_str(), OpenFlags(file.access, file.overlapped)));
    ++nodeOpens_;
    if (!fd) {
        error = OpenError(errno, file.node);
        return fd;
    }
    // The name may belong to another device by now.
    error = CheckOpenedNode(fd.Get(), file.node);
    if (error != ERROR_SUCCESS) {
        return TUniqueFd();
    }
    return fd;
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
    DWORD pathError = ERROR_SUCCESS;
    std::optional<THidrawNode> node = InstanceOfPath(fileName, pathError);
    if (!node) {
        SetLastError(pathError);
        return INVALID_HANDLE_VALUE;
    }
    const DWORD access = desiredAccess & kDataAccess;
    const bool overlapped = (flagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0;
    std::shared_ptr<THidrawFile> file;
    if (overlapped && (access & GENERIC_READ) != 0) {
        // A reading handle reads from the start: its node is opened now.
        TUniqueFd fd(open(fileName, OpenFlags(access, overlapped)));
        ++nodeOpens_;
        if (!fd) {
            SetLastError(OpenError(errno, *node));
            return INVALID_HANDLE_VALUE;
        }
        DWORD error = CheckOpenedNode(fd.Get(), *node);
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return INVALID_HANDLE_VALUE;
        }
        auto reader =
            TOverlappedReader::Create(fd.Get(), waits_, options_.StartReaderThread, error);
        if (!reader) {
            SetLastError(error); // the descriptor closes with its owner
            return INVALID_HANDLE_VALUE;
        }
        file = std::make_shared<THidrawFile>(std::move(fd), std::move(*node), access, overlapped,
                                             std::move(reader));
    } else {
        // Any other is only checked now and opened at its first write (THidrawFile).
        ++accessChecks_;
        DWORD error = CheckAccess(fileName, access);
        if ((error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) && !IsPresent(*node)) {
            error = ERROR_DEVICE_NOT_CONNECTED;
        }
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return INVALID_HANDLE_VALUE;
        }
        file = std::make_shared<THidrawFile>(std::move(*node), access, overlapped);
    }
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
    if (TOverlappedReader* reader = file->Reader()) {
        reader->Stop();
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
    DWORD openError = ERROR_SUCCESS;
    const int fd = file->Descriptor(
        [this, &file](DWORD& error) { return OpenNodeOf(*file, error); }, openError);
    if (fd < 0) {
        SetLastError(openError);
        return FALSE;
    }
    // Writes are synchronous, also on an overlapped handle: hidraw hands the report to the
    // device at once.
    const ssize_t n = write(fd, buffer, bytesToWrite);
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
    const DWORD error = file->Reader()->Start(buffer, bytesToRead, overlapped, routine, withoutId);
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
    if (TOverlappedReader* reader = file->Reader()) {
        reader->CancelFor(std::this_thread::get_id());
    }
    return TRUE;
}

std::size_t TLinuxServices::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return files_.size();
}

} // namespace platform::linux_backend
