// Interrupt reports: delivered on the event loop, held while modal, never
// after the handle or the device is gone, once per report after re-arming.
#include "LibTestSupport.h"

#include "runloop/DefaultMode.h"

#include <QtTest>

#include <vector>

using hid::sim::Model;
using Bytes = std::vector<uint8_t>;

namespace {

struct Delivery {
  void *target;
  Bytes report;
};

std::vector<Delivery> gDeliveries;

void RecordReport(void *target, hid::Status result, void *refcon, void *,
                  uint32_t size) {
  QCOMPARE(result, hid::kSuccess);
  QCOMPARE(refcon, static_cast<void *>(&gDeliveries));
  auto *bytes = static_cast<uint8_t *>(target);
  gDeliveries.push_back({target, Bytes(bytes, bytes + size)});
}

} // namespace

class InterruptTest : public QObject {
  Q_OBJECT

private slots:
  void init();
  void cleanup();
  void deliveredOnTheEventLoopInOrder();
  void reportLongerThanBufferIsCut();
  void emptyReportArrivesWithNoBytes();
  void heldWhileModalThenDeliveredInOrder();
  void reArmingDeliversOnce();
  void nothingAfterDetach();
  void nothingAfterTheListReleasedTheHandle();
  void deviceAnswersOnInterface1();

private:
  hid::DeviceInterface *interface1() {
    return PinworthInterfaceListNodeAtIndex(1)->pinworthHIDInterface;
  }

  std::unique_ptr<SimulatedLibrary> lib_;
  hid::sim::DeviceID device_ = 0;
  uint8_t buffer_[8] = {};
};

void InterruptTest::init() {
  gDeliveries.clear();
  lib_ = std::make_unique<SimulatedLibrary>();
  device_ = lib_->backend.attach(Model::PinworthA, "1");
  QCOMPARE(PinworthCountInterfaces(), 2);
}

void InterruptTest::cleanup() {
  lib_.reset();
}

void InterruptTest::deliveredOnTheEventLoopInOrder() {
  QCOMPARE(PinworthSetInterruptCallback(interface1(), buffer_, 8, RecordReport,
                                        &gDeliveries),
           0);
  lib_->backend.sendInputReport(device_, 1, {5, 1, 2, 3, 4, 5, 6, 7});
  lib_->backend.sendInputReport(device_, 1, {5, 1, 2, 3, 4, 5, 6, 7});
  lib_->backend.sendInputReport(device_, 0, {9, 9, 9, 9});
  QVERIFY(gDeliveries.empty());
  DeliverPendingEvents();
  QCOMPARE(gDeliveries.size(), size_t(2));
  QCOMPARE(gDeliveries[0].target, static_cast<void *>(buffer_));
  QCOMPARE(gDeliveries[0].report, (Bytes{5, 1, 2, 3, 4, 5, 6, 7}));
  QCOMPARE(gDeliveries[1].report, gDeliveries[0].report);
}

void InterruptTest::reportLongerThanBufferIsCut() {
  PinworthSetInterruptCallback(interface1(), buffer_, 3, RecordReport,
                               &gDeliveries);
  lib_->backend.sendInputReport(device_, 1, {1, 2, 3, 4, 5});
  DeliverPendingEvents();
  QCOMPARE(gDeliveries.size(), size_t(1));
  QCOMPARE(gDeliveries[0].report, (Bytes{1, 2, 3}));
}

void InterruptTest::emptyReportArrivesWithNoBytes() {
  PinworthSetInterruptCallback(interface1(), buffer_, 8, RecordReport,
                               &gDeliveries);
  lib_->backend.sendInputReport(device_, 1, {});
  DeliverPendingEvents();
  QCOMPARE(gDeliveries.size(), size_t(1));
  QVERIFY(gDeliveries[0].report.empty());
}

void InterruptTest::heldWhileModalThenDeliveredInOrder() {
  PinworthSetInterruptCallback(interface1(), buffer_, 8, RecordReport,
                               &gDeliveries);
  {
    runloop::ModalScope modal;
    for (uint8_t id = 1; id <= 100; id++)
      lib_->backend.sendInputReport(device_, 1, {id});
    DeliverPendingEvents();
    QVERIFY(gDeliveries.empty());
  }
  DeliverPendingEvents();
  QCOMPARE(gDeliveries.size(), size_t(100));
  for (uint8_t id = 1; id <= 100; id++)
    QCOMPARE(gDeliveries[id - 1].report, Bytes{id});
}

void InterruptTest::reArmingDeliversOnce() {
  uint8_t other[8];
  PinworthSetInterruptCallback(interface1(), buffer_, 8, RecordReport,
                               &gDeliveries);
  PinworthSetInterruptCallback(interface1(), other, 8, RecordReport,
                               &gDeliveries);
  lib_->backend.sendInputReport(device_, 1, {6, 0x84});
  DeliverPendingEvents();
  QCOMPARE(gDeliveries.size(), size_t(1));
  QCOMPARE(gDeliveries[0].target, static_cast<void *>(other));
}

void InterruptTest::nothingAfterDetach() {
  PinworthSetInterruptCallback(interface1(), buffer_, 8, RecordReport,
                               &gDeliveries);
  lib_->backend.sendInputReport(device_, 1, {1});
  lib_->backend.detach(device_);
  lib_->backend.sendInputReport(device_, 1, {2});
  DeliverPendingEvents();
  QVERIFY(gDeliveries.empty());
  QCOMPARE(PinworthSetInterruptCallback(interface1(), buffer_, 8, RecordReport,
                                        &gDeliveries),
           hid::kErrorNoDevice);
}

void InterruptTest::nothingAfterTheListReleasedTheHandle() {
  PinworthSetInterruptCallback(interface1(), buffer_, 8, RecordReport,
                               &gDeliveries);
  lib_->backend.sendInputReport(device_, 1, {1});
  lib_->backend.attach(Model::PinworthB, "2");
  DeliverPendingEvents(); // delivers {1}, marks the list dirty
  QCOMPARE(gDeliveries.size(), size_t(1));
  lib_->backend.sendInputReport(device_, 1, {2});
  QCOMPARE(PinworthCountInterfaces(), 4); // the rebuild releases the old handle
  DeliverPendingEvents();
  QCOMPARE(gDeliveries.size(), size_t(1));
  QVERIFY(lib_->backend.handleHistories(device_, 1).front().destroyed);
}

void InterruptTest::deviceAnswersOnInterface1() {
  PinworthSetInterruptCallback(interface1(), buffer_, 8, RecordReport,
                               &gDeliveries);
  uint8_t lcdOn[7] = {1};
  uint8_t readStatus[7] = {0x01};
  QCOMPARE(PinworthAWriteInterface1(0x04, lcdOn), 0);
  QCOMPARE(PinworthAWriteInterface1(0x06, readStatus), 0);
  DeliverPendingEvents();
  QCOMPARE(gDeliveries.size(), size_t(1));
  QCOMPARE(gDeliveries[0].report, (Bytes{0x06, 0x01, 0x00, 0, 0, 0, 0, 0}));
}

QTEST_GUILESS_MAIN(InterruptTest)
#include "tst_interrupts.moc"
