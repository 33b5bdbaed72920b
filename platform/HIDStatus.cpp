#include "platform/HIDServices.h"

namespace hid {

const char *StatusString(Status status) {
  switch (status) {
  case kSuccess:
    return "success";
  case kErrorGeneral:
    return "general error";
  case kErrorNoMemory:
    return "out of memory";
  case kErrorNoDevice:
    return "no such device: it was unplugged";
  case kErrorBadArgument:
    return "invalid argument";
  case kErrorExclusiveAccess:
    return "device busy: another program has it open for exclusive access";
  case kErrorUnsupported:
    return "operation not supported by the device";
  case kErrorIO:
    return "input/output error";
  case kErrorNotOpen:
    return "device not open";
  case kErrorTimeout:
    return "timed out: the device did not answer";
  case kErrorNotAnswered:
    return "the device did not answer within 50 ms; it may have received the "
           "report";
  case kErrorBusy:
    return "the device has not answered an earlier request yet (one that "
           "stops taking reports holds it for about 5 s); nothing was sent";
  case kErrorOverrun:
    return "reports lost: they came faster than they were taken";
  case kErrorNotPermitted:
    return "permission denied: install the Pinworth udev rule (see README) "
           "and plug the device in again";
  default:
    return "unknown error";
  }
}

} // namespace hid
