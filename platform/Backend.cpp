#include "platform/HIDServices.h"

namespace hid {

namespace {
Backend *gBackend = nullptr;
}

void SetBackend(Backend *backend) {
  gBackend = backend;
}

Backend *CurrentBackend() {
  return gBackend;
}

} // namespace hid
