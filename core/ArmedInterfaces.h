// The interfaces a program (the explorer, pinworth) has armed for interrupt
// reports, and what
// arming takes: a reference on each armed handle, so that no rebuild of the
// library's list destroys it under its handler, and the buffer into which the
// platform copies each of its reports.
//
// Reports reach the callback given at construction, with its refcon, only
// from handles armed here and only into their own buffers. disarmAll() lets go
// of everything in one place: it removes every handler, drops the references
// and frees the buffers. Its owner calls it whenever the library rebuilds its
// list (whose new handles are not armed); destruction does the same.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_ARMED_INTERFACES_H
#define PINWORTH_EXPLORER_ARMED_INTERFACES_H

#include "core/InterfaceIdentity.h"

#include "platform/HIDServices.h"

#include <QList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class ArmedInterfaces {
public:
  // An interrupt report: the report ID byte followed by 7 data bytes.
  static constexpr uint32_t kReportBufferSize = 8;

  ArmedInterfaces(hid::ReportCallback callback, void *refcon);
  ~ArmedInterfaces();
  ArmedInterfaces(const ArmedInterfaces &) = delete;
  ArmedInterfaces &operator=(const ArmedInterfaces &) = delete;

  // Arms handle, the interface source, through the library, or arms it
  // again with the buffer it already has; returns the registration's
  // status. A handle whose first arming fails is not kept.
  int32_t arm(hid::DeviceInterface *handle, const InterfaceIdentity &source);
  void disarmAll();

  // The interfaces armed, in the order they were armed.
  QList<InterfaceIdentity> sources() const;
  // The interface of an armed handle (a report's sender), or null.
  const InterfaceIdentity *sourceOf(const void *sender) const;

private:
  struct Armed {
    hid::DeviceInterface *handle;
    InterfaceIdentity source;
    std::array<uint8_t, kReportBufferSize> buffer{};
  };

  // The handler every armed handle has, with this object as its refcon.
  static void Deliver(void *target, hid::Status result, void *refcon,
                      void *sender, uint32_t bufferSize);

  std::vector<std::unique_ptr<Armed>> armed_;
  hid::ReportCallback callback_;
  void *refcon_;
};

#endif
