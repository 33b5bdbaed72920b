// An interface pinworth found, as a capture table entry; a capture opened
// for reading.
#ifndef PINWORTH_CLI_CAPTURE_INTERFACES_H
#define PINWORTH_CLI_CAPTURE_INTERFACES_H

#include "capture/CaptureFormat.h"
#include "capture/CaptureReader.h"
#include "cli/Interfaces.h"

#include <memory>

namespace cli {

// The interface's identity and the report descriptor it gives (none when it
// cannot be read).
capture::CaptureInterface ToCaptureInterface(const ListedInterface &interface);

// The capture at path, or none once "shownName: reason" is on standard
// error.
std::unique_ptr<capture::CaptureReader> OpenCapture(const QString &path,
                                                    const QString &shownName);

} // namespace cli

#endif
