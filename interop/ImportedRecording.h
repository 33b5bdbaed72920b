// Another tool's recording as an import reads it, whatever its format: the
// Pinworth devices it names, their interfaces, and every report it carried,
// in order, each a Pinworth interface's or skipped. One loop (see
// CaptureImport.h) writes it as a capture.
#ifndef PINWORTH_INTEROP_IMPORTED_RECORDING_H
#define PINWORTH_INTEROP_IMPORTED_RECORDING_H

#include "core/interfaces/InterfaceIdentity.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace interop {

struct ImportOptions {
  // A usbmon capture's device, by bus and address, to take as a Pinworth
  // (a PinworthA unless its device descriptor says otherwise) when the
  // capture lacks the descriptors that would name it.
  std::optional<std::pair<int, int>> device;
};

struct ImportedInterface {
  size_t device;                    // into ImportedRecording::devices
  core::InterfaceIdentity identity; // its occurrence is the device's
  std::vector<uint8_t> descriptor;
};

struct ImportedReport {
  std::optional<size_t> interface; // none: not a Pinworth's, skipped
  bool written = false;
  int64_t timeUS = 0;         // since the recording's start
  std::vector<uint8_t> bytes; // the report ID first, on an interface 1
};

struct ImportedRecording {
  // Each Pinworth device as the recording names it, in its order: a device
  // named as one before it is another occurrence of it.
  std::vector<core::InterfaceIdentity> devices;
  // The capture's interfaces, in this order.
  std::vector<ImportedInterface> interfaces;
  std::vector<ImportedReport> reports;
  uint64_t skipped = 0; // what the reader left out: lines, packets
  std::optional<int64_t> startUnixUS; // the recording's start, when known
  QStringList notes; // what the reader had to guess, a sentence each
  // Why the recording is refused when it names no Pinworth device.
  QString noPinworth = QStringLiteral("it holds no Pinworth device");
};

// The data bytes of a report of an interface with this number that a
// capture holds (the report ID taken off an interface 1's), or none when
// the report is too short or too long for a capture.
std::optional<int> CapturedDataSize(const std::vector<uint8_t> &bytes,
                                    int interfaceNumber);

// The interface type of interface 0 of the model with these USB IDs, none
// for a device that is not a Pinworth.
std::optional<int> Interface0OfIDs(int vendorID, int productID);

} // namespace interop

#endif
