// hid-recorder text as an import reads it: each hidraw node of a Pinworth
// (known by its IDs) one interface, told by its report descriptor, else by
// its path's "/inputN", with the serial number of its path's "SN1000" (else
// 0). Its nodes' reports and the reports written that HidRecorderWriter
// notes; the lines that do not read are skipped.
#ifndef PINWORTH_INTEROP_HID_RECORDER_IMPORT_H
#define PINWORTH_INTEROP_HID_RECORDER_IMPORT_H

#include "interop/ImportedRecording.h"

namespace interop {

std::optional<ImportedRecording> ImportHidRecorder(const QString &path,
                                                   const ImportOptions &options,
                                                   QString *error);

} // namespace interop

#endif
