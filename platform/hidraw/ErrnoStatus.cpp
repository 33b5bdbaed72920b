#include "platform/hidraw/ErrnoStatus.h"

#include <cerrno>

namespace hid::hidraw {

Status StatusForErrno(int error) {
  switch (error) {
  case 0:
    return kSuccess;
  case ENOENT:
  case ENODEV:
  case ENXIO:
  case ESHUTDOWN:
    return kErrorNoDevice;
  case EACCES:
  case EPERM:
    return kErrorNotPermitted;
  case EBUSY:
    return kErrorExclusiveAccess;
  case ETIMEDOUT:
    return kErrorTimeout;
  case ENOMEM:
  case ENOBUFS:
    return kErrorNoMemory;
  case EINVAL:
  case EFAULT:
    return kErrorBadArgument;
  case ENOTTY:
  case EOPNOTSUPP:
  case ENOSYS:
    return kErrorUnsupported;
  case EIO:
  case EPIPE:
  case EPROTO:
  case EILSEQ:
  case EOVERFLOW:
    return kErrorIO;
  default:
    return kErrorGeneral;
  }
}

} // namespace hid::hidraw
