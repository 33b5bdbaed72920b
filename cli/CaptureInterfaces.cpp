#include "cli/CaptureInterfaces.h"

#include "core/CaptureSources.h"
#include "core/InterfaceInfo.h"

capture::CaptureInterface ToCaptureInterface(const ListedInterface &interface) {
  const InterfaceInfo info = ReadInterfaceInfo(*interface.handle);
  return CaptureEntry(interface.identity, info.descriptorStatus == hid::kSuccess
                                              ? info.descriptor
                                              : std::vector<uint8_t>{});
}
