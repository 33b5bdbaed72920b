// The platform status for an errno of a hidraw or sysfs call.
#ifndef PINWORTH_HIDRAW_ERRNO_STATUS_H
#define PINWORTH_HIDRAW_ERRNO_STATUS_H

#include "platform/HIDServices.h"

namespace hid::hidraw {

// 0 gives kSuccess; every other errno gives a failure status. EIO gives
// kErrorIO: only the caller can tell whether its device went away.
Status StatusForErrno(int error);

} // namespace hid::hidraw

#endif
