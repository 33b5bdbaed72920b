// The buffers into which armed interfaces copy their interrupt reports.
//
// An armed handle writes each report into its buffer for as long as its
// handler is installed, which is until the handle is destroyed: the library
// destroys its handles when it rebuilds the interface list, and nothing else
// in the explorer takes a reference to one. That can be after the controller
// that armed the handle is gone, so the buffers belong to the process, not to
// a controller. Each handle has one buffer, reused whenever the handle is
// armed again; a buffer is freed once its handle has left the list.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_INTERRUPT_REPORT_BUFFERS_H
#define PINWORTH_EXPLORER_INTERRUPT_REPORT_BUFFERS_H

#include "platform/HIDServices.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

class InterruptReportBuffers {
public:
  // An interrupt report: the report ID byte followed by 7 data bytes.
  static constexpr uint32_t kReportSize = 8;

  static InterruptReportBuffers &shared();

  // The buffer of kReportSize bytes for the handle, made at the first
  // request. It stays at the same address until forgetUnlisted() frees it.
  uint8_t *bufferFor(const hid::DeviceInterface *handle);

  // Frees the buffers of handles that are no longer in the library's
  // interface list; a rebuild of the list destroyed them, and their handlers
  // with them. A new handle may later take a freed handle's address, and then
  // gets a new buffer when it is armed.
  void forgetUnlisted();

  size_t count() const { return buffers_.size(); }

private:
  using Buffer = std::array<uint8_t, kReportSize>;
  std::map<const hid::DeviceInterface *, std::unique_ptr<Buffer>> buffers_;
};

#endif
