#include "cli/CaptureInterfaces.h"

#include "core/InterfaceInfo.h"

capture::CaptureInterface ToCaptureInterface(const ListedInterface &interface) {
  const InterfaceInfo info = ReadInterfaceInfo(*interface.handle);
  capture::CaptureInterface entry;
  entry.interfaceType = interface.identity.interfaceType;
  entry.serialNumber = interface.identity.serialNumber;
  entry.occurrence = interface.identity.occurrence;
  if (info.descriptorStatus == hid::kSuccess)
    entry.descriptor = info.descriptor;
  return entry;
}

std::optional<InterfaceIdentity>
IdentityOfSource(const std::vector<capture::CaptureInterface> &interfaces,
                 uint16_t source) {
  if (source >= interfaces.size())
    return std::nullopt;
  const capture::CaptureInterface &entry = interfaces[source];
  return InterfaceIdentity{entry.interfaceType, entry.serialNumber,
                           entry.occurrence};
}
