// Device notifications of the simulated backend, delivered on the event loop
// of the thread that created the port.
#ifndef PINWORTH_SIM_NOTIFICATION_PORT_H
#define PINWORTH_SIM_NOTIFICATION_PORT_H

#include "platform/NotificationRegistry.h"
#include "platform/simulated/SimState.h"

#include <memory>

namespace hid::sim {

class SimNotificationPort : public NotificationPort {
public:
  explicit SimNotificationPort(std::shared_ptr<SimState> state);
  ~SimNotificationPort() override;

  Status addMatchingNotification(NotificationType type,
                                 const MatchingDictionary &matching,
                                 NotificationHandler handler, void *refCon,
                                 ObjectIterator **outIterator) override;

  // Tells the registered handlers that a device of this model came or went.
  void notify(Model model, NotificationType type);

private:
  std::shared_ptr<SimState> state_;
  NotificationRegistry registry_;
};

} // namespace hid::sim

#endif
