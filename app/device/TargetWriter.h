// The device area's writes to the window's target, made as the form's Write
// makes them: nothing while the target is unplugged, the window's writer's
// checks, refusal and alert, no waiting for the device, and each report
// sent logged as a "W" row of the window's log.
//
// Main thread only; the target outlives the writer.
#ifndef PINWORTH_EXPLORER_TARGET_WRITER_H
#define PINWORTH_EXPLORER_TARGET_WRITER_H

#include "app/device/WindowTarget.h"
#include "core/reports/DisplayReports.h"

#include <cstdint>
#include <optional>
#include <vector>

class QObject;

namespace explorer {

class TargetWriter {
public:
  // Whether the reports went out, as WindowTarget::Done says; never called
  // once the context object given with it is destroyed.
  using Done = WindowTarget::Done;

  explicit TargetWriter(WindowTarget &target);

  // Sends data, led by reportID when there is one.
  void write(std::optional<uint8_t> reportID, const std::vector<uint8_t> &data,
             const QObject *context = nullptr, Done done = {}) const;
  // Interface 1 reports, each its report ID then its 7 data bytes, one
  // after the other once the device took the one before; the first that
  // does not go out ends it, and so does the end of context, which must
  // not outlive the writer.
  void write(std::vector<core::Interface1Report> reports,
             const QObject &context, Done done = {}) const;

private:
  WindowTarget &target_;
};

} // namespace explorer

#endif
