// Interrupt reports: delivered on the event loop, held while modal, never
// after the handler, the handle or the device is gone, once after re-arming.
#include "tests/lib/LibTestSupport.h"

#include "runloop/DefaultMode.h"

#include <QtTest>

#include <vector>

using hid::sim::Model;
using Bytes = std::vector<uint8_t>;

namespace {

struct Delivery {
  void *target;
  Bytes report;
  bool operator==(const Delivery &) const = default;
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

  std::unique_ptr<SimulatedLibrary> lib_;
  hid::sim::DeviceID device_ = 0;
  uint8_t buffer_[8] = {};

  hid::DeviceInterface *interface1() { return PinworthGetInterface(0, 1); }
  int32_t arm(uint8_t *buffer, uint32_t size = 8) {
    return PinworthSetInterruptCallback(interface1(), buffer, size,
                                        RecordReport, &gDeliveries);
  }
  void send(Bytes report) {
    lib_->backend.sendInputReport(device_, 1, std::move(report));
  }

private slots:
  void init() {
    gDeliveries.clear();
    lib_ = std::make_unique<SimulatedLibrary>();
    device_ = lib_->backend.attach(Model::PinworthA, "1");
  }
  void cleanup() { lib_.reset(); }

  // Equal reports both arrive; one longer than the buffer is cut, an empty
  // one arrives empty; interface 0's report goes to nobody.
  void deliveredOnTheEventLoopInOrder() {
    QCOMPARE(arm(buffer_, 3), 0);
    send({5, 1, 2});
    send({5, 1, 2, 3, 4});
    send({});
    lib_->backend.sendInputReport(device_, 0, {9, 9, 9, 9});
    QVERIFY(gDeliveries.empty());
    QTRY_COMPARE(gDeliveries.size(), size_t(3));
    QCOMPARE(gDeliveries,
             (std::vector<Delivery>{
                 {buffer_, {5, 1, 2}}, {buffer_, {5, 1, 2}}, {buffer_, {}}}));
  }

  void heldWhileModalThenDeliveredInOrder() {
    arm(buffer_);
    {
      runloop::ModalScope modal;
      for (uint8_t id = 1; id <= 100; id++) {
        send({id});
        if (id % 32 == 0)
          lib_->backend.waitForKernelQueues(); // as a device paces them
      }
      QTest::qWait(50);
      QVERIFY(gDeliveries.empty());
    }
    QTRY_COMPARE(gDeliveries.size(), size_t(100));
    for (uint8_t id = 1; id <= 100; id++)
      QCOMPARE(gDeliveries[id - 1].report, Bytes{id});
  }

  // Re-arming replaces the handler, which takes over a report already on its
  // way; a removed handler gets nothing more, also nothing on its way.
  void reArmingReplacesRemovingStops() {
    uint8_t other[8];
    arm(buffer_);
    {
      runloop::ModalScope held; // the report waits in the queue
      send({1});
      QTest::qWait(20);
      arm(other);
    }
    QTRY_COMPARE(gDeliveries, (std::vector<Delivery>{{other, {1}}}));
    send({2});
    interface1()->setInterruptReportHandlerCallback(nullptr, 0, nullptr,
                                                    nullptr, nullptr);
    send({3});
    QTest::qWait(50);
    QCOMPARE(gDeliveries.size(), size_t(1));
  }

  void nothingAfterDetachOrRelease() {
    hid::DeviceInterface *stale = interface1();
    arm(buffer_);
    {
      runloop::ModalScope held; // the report waits in the queue
      send({1});
      QTest::qWait(20);
      lib_->backend.detach(device_);
    }
    QTest::qWait(50);
    QVERIFY(gDeliveries.empty());
    QCOMPARE(
        PinworthSetInterruptCallback(stale, buffer_, 8, RecordReport, nullptr),
        hid::kErrorNoDevice);

    device_ = lib_->backend.attach(Model::PinworthB, "2");
    DeliverPendingEvents();
    arm(buffer_);
    lib_->backend.attach(Model::PinworthA, "3");
    DeliverPendingEvents(); // marks the list dirty
    {
      runloop::ModalScope held;
      send({2});
      QTest::qWait(20);
      QCOMPARE(PinworthCountInterfaces(), 4); // releases the armed handle
    }
    QTest::qWait(50);
    QVERIFY(gDeliveries.empty());
    QVERIFY(lib_->backend.handleHistories(device_, 1).front().destroyed);
  }
};

QTEST_GUILESS_MAIN(InterruptTest)
#include "tst_interrupts.moc"
