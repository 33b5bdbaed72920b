// The interrupt contract's test bed on the hidraw backend, over a PinworthA
// emulated by umockdev on port 1-4.
#ifndef PINWORTH_TEST_HIDRAW_INTERRUPT_TESTBED_H
#define PINWORTH_TEST_HIDRAW_INTERRUPT_TESTBED_H

#include "tests/platform/InterruptTestbed.h"
#include "tests/platform/hidraw/HidrawLibrary.h"

#include <QElapsedTimer>

#include <thread>

class HidrawInterruptTestbed : public InterruptTestbed {
public:
  void attachPinworthA() override {
    PinworthSetDeviceCallback(CountChange, &changes_);
    lib_.testbed.plugPinworth("1-4", kPinworthAProductID, "1");
    QTRY_COMPARE(changes_, 1);
    interface0_ = &lib_.testbed.node("1-4", 0);
    interface1_ = &lib_.testbed.node("1-4", 1);
  }
  // The handle's file for requests and its reader's own.
  void waitUntilHeard() override {
    QTRY_COMPARE(interface1_->openClients(), 2);
  }
  void sendOnInterface1(const std::vector<uint8_t> &report) override {
    interface1_->sendInterruptReport(report);
  }
  // Gives up after 5 s, for a reader that stopped reading.
  void waitUntilTakenIn() override {
    QElapsedTimer waited;
    waited.start();
    while (!interface1_->readersCaughtUp() && waited.elapsed() < 5000)
      std::this_thread::yield();
  }
  void stallInterface0() override { interface0_->setStalled(true); }
  void unplug() override {
    lib_.testbed.unplug("1-4");
    QTRY_COMPARE(changes_, 2);
  }

private:
  static void CountChange(void *refcon) { ++*static_cast<int *>(refcon); }

  HidrawLibrary lib_;
  int changes_ = 0; // arrivals and removals told
  // The nodes outlive the unplug, for a device thread still sending.
  FakeHidrawNode *interface0_ = nullptr;
  FakeHidrawNode *interface1_ = nullptr;
};

#endif
