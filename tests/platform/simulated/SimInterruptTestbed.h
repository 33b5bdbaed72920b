// The interrupt contract's test bed on the simulated backend.
#ifndef PINWORTH_TEST_SIM_INTERRUPT_TESTBED_H
#define PINWORTH_TEST_SIM_INTERRUPT_TESTBED_H

#include "tests/lib/LibTestSupport.h"
#include "tests/platform/InterruptTestbed.h"

class SimInterruptTestbed : public InterruptTestbed {
public:
  void attachPinworthA() override {
    device_ = lib_.backend.attach(hid::sim::Model::PinworthA, "1");
    DeliverPendingEvents();
  }
  // A simulated handle's kernel queue exists once it is armed.
  void waitUntilHeard() override {}
  void sendOnInterface1(const std::vector<uint8_t> &report) override {
    lib_.backend.sendInputReport(device_, 1, report);
  }
  void waitUntilTakenIn() override { lib_.backend.waitForKernelQueues(); }
  void stallInterface0() override {
    lib_.backend.faults(device_, 0).stalled = true;
  }
  void unplug() override { lib_.backend.detach(device_); }

private:
  SimulatedLibrary lib_;
  hid::sim::DeviceID device_ = 0;
};

#endif
