// Device notifications of the hidraw backend, from a udev monitor.
//
// The monitor's socket is read on the event loop of the thread that created
// the port, always, also while a modal scope is open; only the handlers'
// calls wait for default mode. The port follows the USB devices it sees:
// - an arrival is reported once the device is complete, that is once all its
//   interfaces exist and every HID interface has its hidraw node (the USB
//   device appears before its interfaces are bound, and a search at that
//   moment would find nothing or half a device);
// - a removal is reported when the USB device goes, if its arrival was, or
//   as soon as a descriptor of one of its nodes fails as a removed node's
//   does (NodeRemovals::failed), which without udevd is the only news; the
//   udev event that may follow is then of a device no longer tracked;
// - each change calls each matching registration's handler once (see
//   NotificationRegistry).
#ifndef PINWORTH_HIDRAW_UDEV_NOTIFICATION_PORT_H
#define PINWORTH_HIDRAW_UDEV_NOTIFICATION_PORT_H

#include "platform/HIDServices.h"
#include "platform/NotificationRegistry.h"
#include "platform/hidraw/NodeRemovals.h"
#include "platform/hidraw/Udev.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

namespace hid::hidraw {

class UdevNotificationPort : public NotificationPort {
public:
  // A port on the calling thread's event loop, or null when there is no
  // event loop. Each hidraw node it sees removed is told to removals at
  // once, whatever the run loop mode. When no udev monitor can be made it
  // reports no arrival, and removals only from the nodes' failures.
  static std::unique_ptr<UdevNotificationPort>
  Create(UdevContext context, std::shared_ptr<NodeRemovals> removals);
  ~UdevNotificationPort() override;

  // Matches "IOUSBDevice" by "idVendor" and "idProduct" (each optional).
  Status addMatchingNotification(NotificationType type,
                                 const MatchingDictionary &matching,
                                 NotificationHandler handler, void *refCon,
                                 ObjectIterator **outIterator) override;

private:
  struct TrackedDevice {
    int32_t vendorID;
    int32_t productID;
    bool arrivalReported;
  };

  UdevNotificationPort(UdevContext context, UdevMonitor monitor,
                       std::shared_ptr<NodeRemovals> removals);

  void trackAttachedDevices();
  void readEvents();
  void handleEvent(udev_device *device);
  void takeFailedNodes();
  // The tracked device leaves: its nodes are removed, and its removal is
  // reported if its arrival was.
  void forget(std::map<std::string, TrackedDevice>::iterator device);
  // The record of a USB device, made on first sight; null when its IDs
  // cannot be read.
  TrackedDevice *track(udev_device *usbDevice);
  bool arrivalComplete(udev_device *usbDevice);

  UdevContext context_;
  UdevMonitor monitor_;
  std::shared_ptr<NodeRemovals> removals_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::unique_ptr<QSocketNotifier> failures_;
  std::map<std::string, TrackedDevice> devices_; // by USB device syspath
  NotificationRegistry registry_;
};

} // namespace hid::hidraw

#endif
