#include "platform/errno_codes.h"

#include <cerrno>

#include "platform/io_error.h"

int IoErrorCodeFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
      return kPathNotFound;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kAccessDenied;
    case ENOSPC:
      return kDiskFull;
    case EBADF:
      return kInvalidHandle;
    case EBUSY:
    case ETXTBSY:
      return kSharingViolation;
    case EPIPE:
      return kBrokenPipe;
    case EIO:
      return kDeviceIoError;
    case ENOMEM:
      return 8;  // ERROR_NOT_ENOUGH_MEMORY
    case EROFS:
      return 19;  // ERROR_WRITE_PROTECT
    case ENXIO:
    case ENODEV:
      return 55;  // ERROR_DEV_NOT_EXIST
    case EINVAL:
      return 87;  // ERROR_INVALID_PARAMETER
    case EFBIG:
      return 223;  // ERROR_FILE_TOO_LARGE
    case EDQUOT:
      return 1295;  // ERROR_DISK_QUOTA_EXCEEDED
    case ELOOP:
      return 1921;  // ERROR_CANT_RESOLVE_FILENAME
    default:
      return 31;  // ERROR_GEN_FAILURE: a device is not functioning
  }
}
