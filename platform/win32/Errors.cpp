#include "Errors.h"

#include <cerrno>

namespace win32 {

DWORD ErrnoToWin32(int error) {
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EAGAIN:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EINVAL:
    case ERANGE:
      return ERROR_INVALID_PARAMETER;
    case ENOTTY:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    case EIO:
    case EPIPE:
    case ESHUTDOWN:
      return ERROR_DEVICE_NOT_CONNECTED;
    case EINTR:
    case ECANCELED:
      return ERROR_OPERATION_ABORTED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace win32
