// Interrupt reports through the library on the simulated backend, where the
// contract suite (tests/platform/tst_interrupt_contract.cpp) cannot reach:
// an empty report, a report of the other interface, and the armed handle a
// rebuilt list releases.
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

  // An empty report arrives empty; interface 0's report goes to nobody.
  void anEmptyReportArrivesEmptyAndInterface0sGoesToNobody() {
    QCOMPARE(arm(buffer_, 3), 0);
    send({});
    lib_->backend.sendInputReport(device_, 0, {9, 9, 9, 9});
    send({5, 1, 2});
    QTRY_COMPARE(gDeliveries.size(), size_t(2));
    QCOMPARE(gDeliveries,
             (std::vector<Delivery>{{buffer_, {}}, {buffer_, {5, 1, 2}}}));
  }

  // Reading the list again once a device arrived releases the armed handle:
  // the report on its way reaches nobody.
  void aRebuiltListReleasesTheArmedHandle() {
    DeliverPendingEvents();
    arm(buffer_);
    lib_->backend.attach(Model::PinworthB, "2");
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
