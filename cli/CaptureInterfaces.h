// The interfaces of a capture as pinworth names them: an interface's
// identity and descriptor as a capture table entry, and back.
#ifndef PINWORTH_CLI_CAPTURE_INTERFACES_H
#define PINWORTH_CLI_CAPTURE_INTERFACES_H

#include "cli/Interfaces.h"
#include "core/InterfaceIdentity.h"
#include "core/capture/CaptureFormat.h"

#include <optional>
#include <vector>

// The interface's identity and the report descriptor it gives (none when it
// cannot be read).
capture::CaptureInterface ToCaptureInterface(const ListedInterface &interface);

// The identity of source among interfaces, none for kNoSource or an index
// past the table.
std::optional<InterfaceIdentity>
IdentityOfSource(const std::vector<capture::CaptureInterface> &interfaces,
                 uint16_t source);

#endif
