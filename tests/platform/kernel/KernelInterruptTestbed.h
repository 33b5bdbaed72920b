// The interrupt contract's test bed on the hidraw backend over the real
// kernel: a PinworthA "1" made by pinworth-gadget on dummy_hcd, seen through
// the kernel's usbhid and hidraw (in the test VM, as root).
#ifndef PINWORTH_TEST_KERNEL_INTERRUPT_TESTBED_H
#define PINWORTH_TEST_KERNEL_INTERRUPT_TESTBED_H

#include "lib/PinworthLib.h"
#include "platform/hidraw/HidrawBackend.h"
#include "tests/platform/InterruptTestbed.h"
#include "tests/platform/kernel/GadgetProcess.h"
#include "tests/support/LibraryTestSupport.h"

#include <QTest>
#include <QThread>

#include <iomanip>
#include <memory>
#include <sstream>

class KernelInterruptTestbed : public InterruptTestbed {
public:
  KernelInterruptTestbed() {
    hid::SetBackend(&backend_);
    PinworthInit();
  }
  ~KernelInterruptTestbed() override {
    if (probe_)
      probe_->Release();
    PinworthSetDeviceCallback(nullptr, nullptr);
    PinworthClearInterfaceList();
    DeliverPendingEvents();
    gadget_.reset();
    hid::SetBackend(nullptr);
  }

  // Both interfaces' nodes are there once the kernel bound hidraw to them.
  void attachPinworthA() override {
    gadget_ = std::make_unique<GadgetProcess>("A", "1");
    QVERIFY2(gadget_->ready(), gadget_->output().c_str());
    QTRY_VERIFY_WITH_TIMEOUT(NewHandlesOnBothInterfaces(), 10000);
    probe_ = NewHandleOnInterface(1);
  }
  // A node gives nothing to count its open files by; usbhid starts the
  // interrupt IN transfers on the first open and drops what comes in its
  // first 50 ms.
  void waitUntilHeard() override { QTest::qWait(200); }
  void sendOnInterface1(const std::vector<uint8_t> &report) override {
    std::ostringstream line;
    line << "send 1" << std::hex << std::setfill('0');
    for (uint8_t byte : report)
      line << ' ' << std::setw(2) << int(byte);
    gadget_->command(line.str());
  }
  // The gadget's endpoint answers once the host's controller took each
  // report, which hidraw then holds; the reader thread, never held, needs
  // only to be scheduled to read it from the node.
  void waitUntilTakenIn() override {
    gadget_->command("drain");
    QThread::msleep(20);
  }
  void stallInterface0() override { gadget_->command("stall 0"); }
  // Without udevd the reader's failed read tells the removal, with it
  // udevd's event too.
  void unplug() override {
    gadget_->command("unplug");
    std::vector<uint8_t> descriptor;
    QTRY_COMPARE_WITH_TIMEOUT(probe_->copyReportDescriptor(descriptor),
                              hid::kErrorNoDevice, 10000);
  }

private:
  static bool NewHandlesOnBothInterfaces() {
    hid::DeviceInterface *handles[2] = {NewHandleOnInterface(0),
                                        NewHandleOnInterface(1)};
    for (hid::DeviceInterface *handle : handles)
      if (handle)
        handle->Release();
    return handles[0] && handles[1];
  }

  hid::hidraw::HidrawBackend backend_;
  std::unique_ptr<GadgetProcess> gadget_;
  hid::DeviceInterface *probe_ = nullptr; // an unopened handle on interface 1
};

#endif
