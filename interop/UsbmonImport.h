// A usbmon capture (pcap or pcapng) as an import reads it: each Pinworth
// device (known by its device descriptor, or named by the options) two
// interfaces, those that carry a report in the order they first do. An
// interrupt endpoint the capture's enumeration does not name is taken for
// the interface its reports' sizes tell, and the guess is noted.
#ifndef PINWORTH_INTEROP_USBMON_IMPORT_H
#define PINWORTH_INTEROP_USBMON_IMPORT_H

#include "interop/ImportedRecording.h"

namespace interop {

std::optional<ImportedRecording>
ImportUsbmon(const QString &path, const ImportOptions &options, QString *error);

} // namespace interop

#endif
