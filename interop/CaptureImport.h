// Another tool's recording of Pinworth devices made a capture of the
// explorer's own: each Pinworth interface in it an interface of the
// capture, each of its reports a row, at its recorded time. What is not a
// Pinworth device's is skipped and counted.
#ifndef PINWORTH_INTEROP_CAPTURE_IMPORT_H
#define PINWORTH_INTEROP_CAPTURE_IMPORT_H

#include "interop/ImportedRecording.h"
#include "interop/InteropFormats.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace interop {

struct ImportOutcome {
  bool written = false;
  QString error;         // why no capture was written
  uint64_t imported = 0; // reports now in the capture
  uint64_t skipped = 0;  // reports and lines left out
  QStringList notes;     // what the import had to guess, a sentence each
};

// Reads path (a format that imports) and writes the capture to
// capturePath; no capture is left when it fails.
ImportOutcome ImportCapture(const QString &path, Format format,
                            const QString &capturePath,
                            const ImportOptions &options = {});

} // namespace interop

#endif
