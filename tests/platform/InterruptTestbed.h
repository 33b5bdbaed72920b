// A backend with one PinworthA on it, as the interrupt contract suite drives
// it (tst_interrupt_contract.cpp). Each kind of device the backends can run
// on implements it: simulated devices, devices emulated over hidraw, a real
// kernel's.
//
// Made on the main thread, it installs its backend and starts the library
// on it, so that device removals reach the handles; it is used on the main
// thread but for sendOnInterface1() and waitUntilTakenIn().
#ifndef PINWORTH_TEST_INTERRUPT_TESTBED_H
#define PINWORTH_TEST_INTERRUPT_TESTBED_H

#include "platform/HIDServices.h"

#include <cstdint>
#include <memory>
#include <vector>

class InterruptTestbed {
public:
  virtual ~InterruptTestbed() = default;

  // Plugs a PinworthA in and returns once its arrival was told.
  virtual void attachPinworthA() = 0;
  // Returns once every reader the host opened on interface 1 hears the
  // device: a report sent from then on reaches each.
  virtual void waitUntilHeard() = 0;
  // The device sends an input report on interface 1. Any thread.
  virtual void sendOnInterface1(const std::vector<uint8_t> &report) = 0;
  // Returns once the host has taken every report sent so far out of the
  // kernel's queues; a device that waits for it every few reports, as a real
  // one is paced by its bus, loses none there. Any thread.
  virtual void waitUntilTakenIn() = 0;
  // From now on the device answers no request on interface 0.
  virtual void stallInterface0() = 0;
  // Pulls the device out and returns once the host's handles know it is
  // gone. The removal is told on the event loop in default mode: later, when
  // a modal scope is open.
  virtual void unplug() = 0;
};

// A new unopened handle on interface interfaceNumber of the one device
// attached, made as the library makes its own, or null.
inline hid::DeviceInterface *NewHandleOnInterface(int interfaceNumber) {
  hid::Backend *backend = hid::CurrentBackend();
  hid::MasterPort port = 0;
  if (backend->getMasterPort(&port) != hid::kSuccess)
    return nullptr;
  std::unique_ptr<hid::ObjectIterator> services;
  backend->getMatchingServices(port, *backend->serviceMatching("IOHIDDevice"),
                               services);
  hid::DeviceInterface *handle = nullptr;
  while (std::shared_ptr<hid::Object> object = services->next()) {
    auto *service = dynamic_cast<hid::Service *>(object.get());
    hid::PropertyTable properties;
    std::unique_ptr<hid::PlugInInterface> plugIn;
    if (!handle && service->copyProperties(properties) == hid::kSuccess &&
        properties.interfaceNumber == interfaceNumber &&
        service->createPlugInInterface(plugIn) == hid::kSuccess)
      plugIn->queryInterface(&handle);
  }
  backend->deallocateMasterPort(port);
  return handle;
}

#endif
