#include "platform/simulated/SimNotificationPort.h"

#include <algorithm>

namespace hid::sim {

SimNotificationPort::SimNotificationPort(std::shared_ptr<SimState> state)
    : state_(std::move(state)) {
  state_->ports.push_back(this);
}

SimNotificationPort::~SimNotificationPort() {
  std::erase(state_->ports, this);
}

Status SimNotificationPort::addMatchingNotification(
    NotificationType type, const MatchingDictionary &matching,
    NotificationHandler handler, void *refCon, ObjectIterator **outIterator) {
  std::vector<USBDeviceIDs> attached;
  for (const auto &[id, device] : state_->devices)
    if (device->attached)
      attached.push_back(IDsOf(device->model));
  return registry_.add(type, matching, handler, refCon, attached, outIterator);
}

void SimNotificationPort::notify(Model model, NotificationType type) {
  registry_.notify(type, IDsOf(model));
}

} // namespace hid::sim
