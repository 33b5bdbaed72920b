#include "core/interfaces/CaptureSources.h"

namespace core {

capture::CaptureInterface CaptureEntry(const InterfaceIdentity &identity,
                                       std::vector<uint8_t> descriptor) {
  capture::CaptureInterface entry;
  entry.interfaceType = identity.interfaceType;
  entry.serialNumber = identity.serialNumber;
  entry.occurrence = identity.occurrence;
  entry.descriptor = std::move(descriptor);
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

} // namespace core
