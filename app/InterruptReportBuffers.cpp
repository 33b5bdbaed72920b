#include "InterruptReportBuffers.h"

#include "PinworthLib.h"

#include <set>

InterruptReportBuffers &InterruptReportBuffers::shared() {
  static InterruptReportBuffers buffers;
  return buffers;
}

uint8_t *InterruptReportBuffers::bufferFor(const hid::DeviceInterface *handle) {
  std::unique_ptr<Buffer> &buffer = buffers_[handle];
  if (!buffer)
    buffer = std::make_unique<Buffer>();
  return buffer->data();
}

void InterruptReportBuffers::forgetUnlisted() {
  std::set<const hid::DeviceInterface *> listed;
  for (int i = 0;
       const PinworthListNode *node = PinworthInterfaceListNodeAtIndex(i); ++i)
    listed.insert(node->pinworthHIDInterface);
  std::erase_if(buffers_, [&listed](const auto &entry) {
    return !listed.contains(entry.first);
  });
}
