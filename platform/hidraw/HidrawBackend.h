// The HID platform layer on Linux: real Pinworth devices through libudev and
// the kernel's hidraw interface.
//
// The search yields the hidraw nodes of the USB devices of the requested
// vendor (see FindHidrawNodes for the order); each service's property table
// comes from its USB device, and its handle is a HidrawDevice. Device
// notifications come from a udev monitor (UdevNotificationPort). Use it on
// the thread whose Qt event loop delivers them; a handle's blocking requests
// run on a helper thread, and interrupt reports are read on the backend's
// reader thread.
#ifndef PINWORTH_HIDRAW_HIDRAW_BACKEND_H
#define PINWORTH_HIDRAW_HIDRAW_BACKEND_H

#include "platform/HIDServices.h"
#include "platform/hidraw/InterruptReader.h"
#include "platform/hidraw/NodeRemovals.h"
#include "platform/hidraw/Udev.h"

namespace hid::hidraw {

class HidrawBackend : public Backend {
public:
  HidrawBackend();

  // Fails when no udev context could be made.
  Status getMasterPort(MasterPort *outPort) override;
  void deallocateMasterPort(MasterPort port) override;
  std::unique_ptr<MatchingDictionary>
  serviceMatching(const char *className) override;
  // Serves "IOHIDDevice" narrowed by "VendorID". The primary usage entries
  // are not used: the vendor's devices decide their own usages.
  Status
  getMatchingServices(MasterPort port, const MatchingDictionary &matching,
                      std::unique_ptr<ObjectIterator> &outIterator) override;
  std::unique_ptr<NotificationPort>
  createNotificationPort(MasterPort port) override;

private:
  UdevContext context_;
  // Reads the reports of every armed handle this backend made.
  InterruptReader reader_;
  // Shared with the notification ports, which may outlive the backend.
  std::shared_ptr<NodeRemovals> removals_ = std::make_shared<NodeRemovals>();
};

} // namespace hid::hidraw

#endif
