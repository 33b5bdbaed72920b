// A capture written out in another tool's format. The file appears whole or
// not at all.
#ifndef PINWORTH_INTEROP_CAPTURE_EXPORT_H
#define PINWORTH_INTEROP_CAPTURE_EXPORT_H

#include "interop/InteropFormats.h"

#include <QMetaType>
#include <QString>

#include <cstdint>
#include <functional>

namespace capture {
class CaptureReader;
}

namespace interop {

struct ExportOutcome {
  bool written = false;
  QString error; // why not written; empty when stopped by the progress call
  uint64_t exported = 0; // records the format has a place for
  uint64_t skipped = 0;  // records it has not (gaps, events, ...)
};

} // namespace interop

Q_DECLARE_METATYPE(interop::ExportOutcome)

namespace interop {

// Called every few thousand records with the records done; returns false
// to stop the export.
using ExportProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Writes reader's records to path in format (not Format::Capture). One
// thread at a time may use the reader.
ExportOutcome ExportCapture(const capture::CaptureReader &reader, Format format,
                            const QString &path,
                            const ExportProgress &progress = {});

} // namespace interop

#endif
