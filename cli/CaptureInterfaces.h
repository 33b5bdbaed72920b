// An interface pinworth found, as a capture table entry.
#ifndef PINWORTH_CLI_CAPTURE_INTERFACES_H
#define PINWORTH_CLI_CAPTURE_INTERFACES_H

#include "cli/Interfaces.h"
#include "core/capture/CaptureFormat.h"

// The interface's identity and the report descriptor it gives (none when it
// cannot be read).
capture::CaptureInterface ToCaptureInterface(const ListedInterface &interface);

#endif
