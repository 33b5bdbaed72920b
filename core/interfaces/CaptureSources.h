// The interfaces of a capture's table as the explorer and pinworth name
// them: an interface's identity and report descriptor as a table entry, and
// a record's source back as an identity.
#ifndef PINWORTH_CORE_CAPTURE_SOURCES_H
#define PINWORTH_CORE_CAPTURE_SOURCES_H

#include "capture/CaptureFormat.h"
#include "core/interfaces/InterfaceIdentity.h"

#include <optional>
#include <vector>

namespace core {

capture::CaptureInterface CaptureEntry(const InterfaceIdentity &identity,
                                       std::vector<uint8_t> descriptor);

// The identity of source among interfaces, none for kNoSource or an index
// past the table.
std::optional<InterfaceIdentity>
IdentityOfSource(const std::vector<capture::CaptureInterface> &interfaces,
                 uint16_t source);

} // namespace core

#endif
