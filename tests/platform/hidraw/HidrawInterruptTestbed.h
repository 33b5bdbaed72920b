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
    probe_ = NewHandleOnInterface(1);
  }
  ~HidrawInterruptTestbed() override {
    if (probe_)
      probe_->Release();
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
  // udev's removal of the node reaches every handle at once, also while a
  // modal scope is open; an unopened one then answers kErrorNoDevice.
  void unplug() override {
    lib_.testbed.unplug("1-4");
    std::vector<uint8_t> descriptor;
    QTRY_COMPARE(probe_->copyReportDescriptor(descriptor), hid::kErrorNoDevice);
  }

private:
  static void CountChange(void *refcon) { ++*static_cast<int *>(refcon); }

  HidrawLibrary lib_;
  int changes_ = 0;                       // arrivals told
  hid::DeviceInterface *probe_ = nullptr; // an unopened handle on interface 1
  // The nodes outlive the unplug, for a device thread still sending.
  FakeHidrawNode *interface0_ = nullptr;
  FakeHidrawNode *interface1_ = nullptr;
};

#endif
