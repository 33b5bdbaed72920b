// Interrupt reports over the hidraw backend: each report the device sends
// reaches the handler once, in order, in the registered buffer; the node is
// drained also while a modal scope is open, when only the delivery waits;
// nothing reaches a handle that is gone.
#include "HidrawLibrary.h"
#include "runloop/DefaultMode.h"

#include <QTest>

namespace {

struct Delivery {
  void *target;
  void *sender;
  Bytes bytes;
  bool operator==(const Delivery &) const = default;
};

std::vector<Delivery> gDeliveries;

void Record(void *target, hid::Status result, void *refcon, void *sender,
            uint32_t size) {
  QCOMPARE(result, hid::kSuccess);
  QCOMPARE(refcon, static_cast<void *>(&gDeliveries));
  const auto *bytes = static_cast<const uint8_t *>(target);
  gDeliveries.push_back({target, sender, Bytes(bytes, bytes + size)});
}

const Bytes kReport1 = {0x0C, 0x01, 0x02, 0x03, 0, 0, 0, 0};
const Bytes kReport2 = {0x0C, 0x04, 0x05, 0x06, 0, 0, 0, 0};

} // namespace

class HidrawInterruptsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<HidrawLibrary> lib_;
  FakeHidrawNode *node_ = nullptr;
  hid::DeviceInterface *interface_ = nullptr;
  uint8_t buffer_[12] = {};

private slots:
  // A PinworthA at 1-4, its interface 1 armed with the first 8 bytes of
  // buffer_.
  void init() {
    gDeliveries.clear();
    lib_ = std::make_unique<HidrawLibrary>();
    lib_->testbed.plugPinworth("1-4", kPinworthAProductID, "1");
    node_ = &lib_->testbed.node("1-4", 1);
    interface_ = ListedInterface(1);
    std::fill(std::begin(buffer_), std::end(buffer_), 0x5A);
    QCOMPARE(PinworthSetInterruptCallback(interface_, buffer_, 8, Record,
                                          &gDeliveries),
             hid::kSuccess);
    // The handle's file for requests and its reader's own.
    QTRY_COMPARE(node_->openClients(), 2);
  }
  void cleanup() { lib_.reset(); }

  // Reports queued together all arrive; one longer than the buffer is cut.
  void oneDeliveryPerReportInOrder() {
    node_->sendInterruptReport(kReport1);
    QTRY_COMPARE(gDeliveries.size(), size_t{1});
    node_->sendInterruptReport(kReport2);
    node_->sendInterruptReport({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    QTRY_COMPARE(gDeliveries.size(), size_t{3});
    QCOMPARE(gDeliveries,
             (std::vector<Delivery>{
                 {buffer_, interface_, kReport1},
                 {buffer_, interface_, kReport2},
                 {buffer_, interface_, {1, 2, 3, 4, 5, 6, 7, 8}}}));
    QCOMPARE(buffer_[8], uint8_t{0x5A});
  }

  // hidraw keeps only a few reports per reader: the node is read while the
  // modal scope is open, and the deliveries follow in order once it closes;
  // those read before the handle was released never reach its handler.
  void drainedWhileModalDeliveredAfter() {
    {
      runloop::ModalScope modal;
      node_->sendInterruptReport(kReport1);
      node_->sendInterruptReport(kReport2);
      QTRY_COMPARE(node_->reportsQueued(), 0);
      DeliverPendingEvents();
      QVERIFY(gDeliveries.empty());
    }
    QTRY_COMPARE(gDeliveries.size(), size_t{2});
    QCOMPARE(gDeliveries[1].bytes, kReport2);
    {
      runloop::ModalScope modal;
      node_->sendInterruptReport(kReport1);
      QTRY_COMPARE(node_->reportsQueued(), 0);
      PinworthClearInterfaceList();
    }
    QTest::qWait(50);
    QCOMPARE(gDeliveries.size(), size_t{2});
  }
};

QTEST_GUILESS_MAIN(HidrawInterruptsTest)
#include "tst_hidraw_interrupts.moc"
