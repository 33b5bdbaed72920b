// The registrations of a notification port, for every backend: each holds a
// matching dictionary, a handler and the iterator its notifications fill.
// Device changes are matched here and handed to the handlers through a
// DefaultModeQueue, so no handler runs inside the backend's own code, while a
// modal scope is open, or once the registry is gone.
#ifndef PINWORTH_PLATFORM_NOTIFICATION_REGISTRY_H
#define PINWORTH_PLATFORM_NOTIFICATION_REGISTRY_H

#include "platform/HIDServices.h"
#include "platform/ObjectQueue.h"
#include "runloop/DefaultMode.h"

#include <memory>
#include <vector>

namespace hid {

// The IDs of a USB device that arrived or left.
struct USBDeviceIDs {
  int32_t vendorID;
  int32_t productID;
};

class NotificationRegistry {
public:
  // Adds a registration for USB devices ("IOUSBDevice", narrowed by
  // "idVendor" and "idProduct", each optional). A first-match iterator
  // yields the attached devices that match until it is first drained.
  Status add(NotificationType type, const MatchingDictionary &matching,
             NotificationHandler handler, void *refCon,
             const std::vector<USBDeviceIDs> &attached,
             ObjectIterator **outIterator);

  // Each registration of type that matches device gets the device in its
  // iterator and its handler called once, from a later turn of the event
  // loop, in default mode.
  void notify(NotificationType type, USBDeviceIDs device);

private:
  struct Registration {
    NotificationType type;
    MatchingDictionary matching;
    NotificationHandler handler;
    void *refCon;
    ObjectQueue iterator;

    bool matches(USBDeviceIDs device) const;
  };

  std::vector<std::unique_ptr<Registration>> registrations_;
  // Last, so that it goes first: no queued call outlives a registration.
  runloop::DefaultModeQueue queue_;
};

} // namespace hid

#endif
