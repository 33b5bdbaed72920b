// The device area's writes to the window's target, made as the form's Write
// makes them: nothing while the target is unplugged, the window's writer's
// checks and alert when one fails, and each report sent logged as a "W" row
// of the window's log.
//
// Main thread only; the controller outlives the writer.
#ifndef PINWORTH_EXPLORER_TARGET_WRITER_H
#define PINWORTH_EXPLORER_TARGET_WRITER_H

#include "core/DisplayReports.h"

#include <cstdint>
#include <optional>
#include <vector>

class PinworthWindowController;

class TargetWriter {
public:
  explicit TargetWriter(PinworthWindowController &controller);

  // Sends data, led by reportID when there is one; whether it went out.
  bool write(std::optional<uint8_t> reportID,
             const std::vector<uint8_t> &data) const;
  // An interface 1 report: its report ID, then its 7 data bytes.
  bool write(const Interface1Report &report) const;

private:
  PinworthWindowController &controller_;
};

#endif
