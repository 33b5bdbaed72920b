#include "platform/NotificationRegistry.h"

namespace hid {

namespace {

// A USB device as a notification's iterator yields it.
class NotifiedDevice : public Object {};

} // namespace

bool NotificationRegistry::Registration::matches(USBDeviceIDs device) const {
  auto matchesNumber = [this](const char *key, int32_t value) {
    auto entry = matching.numbers.find(key);
    return entry == matching.numbers.end() || entry->second == value;
  };
  return matchesNumber("idVendor", device.vendorID) &&
         matchesNumber("idProduct", device.productID);
}

Status NotificationRegistry::add(NotificationType type,
                                 const MatchingDictionary &matching,
                                 NotificationHandler handler, void *refCon,
                                 const std::vector<USBDeviceIDs> &attached,
                                 ObjectIterator **outIterator) {
  if (handler == nullptr || outIterator == nullptr ||
      matching.className != "IOUSBDevice")
    return kErrorBadArgument;
  auto registration = std::make_unique<Registration>(
      Registration{type, matching, handler, refCon, {}});
  if (type == NotificationType::FirstMatch)
    for (USBDeviceIDs device : attached)
      if (registration->matches(device))
        registration->iterator.push(std::make_shared<NotifiedDevice>());
  *outIterator = &registration->iterator;
  registrations_.push_back(std::move(registration));
  return kSuccess;
}

void NotificationRegistry::notify(NotificationType type, USBDeviceIDs device) {
  for (const std::unique_ptr<Registration> &registration : registrations_) {
    if (registration->type != type || !registration->matches(device))
      continue;
    Registration *target = registration.get();
    queue_.post([target] {
      target->iterator.push(std::make_shared<NotifiedDevice>());
      target->handler(target->refCon, &target->iterator);
    });
  }
}

} // namespace hid
