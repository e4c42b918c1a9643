#include "platform/linux/ErrnoMapping.h"

#include <cerrno>

namespace platform::linux_backend {

namespace {

// Only codes with a text in SystemMessages, so that every failure can be logged.
constexpr DWORD kErrorSharingViolation = 32;
constexpr DWORD kErrorSemTimeout = 121;

} // namespace

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ETXTBSY:
    case EBUSY:
        return kErrorSharingViolation;
    case EINVAL:
    case ENOTTY:
        return ERROR_INVALID_PARAMETER;
    case EFAULT:
    case EMSGSIZE:
        return ERROR_INVALID_USER_BUFFER;
    case ENOSPC:
    case ENOBUFS:
    case ERANGE:
    case ENAMETOOLONG:
        return ERROR_INSUFFICIENT_BUFFER;
    case ENOSYS:
    case EOPNOTSUPP:
        return ERROR_CALL_NOT_IMPLEMENTED;
    case ECANCELED:
    case EINTR:
        return ERROR_OPERATION_ABORTED;
    case ETIMEDOUT:
        return kErrorSemTimeout;
    case EIO:
    case ENODEV:
    case ENXIO:
    case ESHUTDOWN:
        return ERROR_DEVICE_NOT_CONNECTED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace platform::linux_backend
