// An iterator over objects queued in order, for the backends: the services
// of a search, or the devices of a notification still to be taken.
#ifndef PINWORTH_HID_OBJECT_QUEUE_H
#define PINWORTH_HID_OBJECT_QUEUE_H

#include "platform/HIDServices.h"

#include <deque>
#include <memory>

namespace hid {

class ObjectQueue : public ObjectIterator {
public:
  void push(std::shared_ptr<Object> object) {
    objects_.push_back(std::move(object));
  }
  std::shared_ptr<Object> next() override {
    if (objects_.empty())
      return nullptr;
    std::shared_ptr<Object> object = std::move(objects_.front());
    objects_.pop_front();
    return object;
  }

private:
  std::deque<std::shared_ptr<Object>> objects_;
};

} // namespace hid

#endif
