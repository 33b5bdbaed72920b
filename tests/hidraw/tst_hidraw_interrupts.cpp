// Interrupt reports over the hidraw backend: each report the device sends
// reaches the handler once, in order, in the registered buffer; the node is
// drained also while a modal scope is open, when only the delivery waits;
// nothing reaches a handle that is gone.
#include "HidrawLibrary.h"
#include "runloop/DefaultMode.h"

#include <QTest>

#include <cstring>

namespace {

constexpr uint16_t kA = kPinworthAProductID;

struct Delivery {
  void *target;
  hid::Status result;
  void *refcon;
  void *sender;
  Bytes bytes; // the buffer's first bufferSize bytes when handed over
};

struct Receiver {
  uint8_t buffer[12] = {};
  uint32_t bufferSize = 8;
  std::vector<Delivery> deliveries;

  static void Handle(void *target, hid::Status result, void *refcon,
                     void *sender, uint32_t size) {
    auto *receiver = static_cast<Receiver *>(refcon);
    const auto *bytes = static_cast<const uint8_t *>(target);
    receiver->deliveries.push_back(
        {target, result, refcon, sender, Bytes(bytes, bytes + size)});
  }

  hid::Status arm(hid::DeviceInterface *interface) {
    return PinworthSetInterruptCallback(interface, buffer, bufferSize, Handle,
                                        this);
  }
  std::vector<Bytes> reports() const {
    std::vector<Bytes> reports;
    for (const Delivery &delivery : deliveries)
      reports.push_back(delivery.bytes);
    return reports;
  }
};

// A PinworthA plugged in at 1-4, whose interface 1 the receiver has armed.
struct ArmedInterface1 {
  HidrawLibrary lib;
  Receiver receiver;
  FakeHidrawNode &node;
  hid::DeviceInterface *interface;
  hid::Status armStatus;

  explicit ArmedInterface1(uint32_t bufferSize = 8)
      : node(PlugPinworthA(lib)), interface(ListedInterface(1)) {
    receiver.bufferSize = bufferSize;
    armStatus = receiver.arm(interface);
  }

  static FakeHidrawNode &PlugPinworthA(HidrawLibrary &lib) {
    lib.testbed.plugPinworth("1-4", kA, "1");
    return lib.testbed.node("1-4", 1);
  }
};

const Bytes kReport1 = {0x0C, 0x01, 0x02, 0x03, 0, 0, 0, 0};
const Bytes kReport2 = {0x0C, 0x04, 0x05, 0x06, 0, 0, 0, 0};
const Bytes kReport3 = {0x02, 0xAA, 0, 0, 0, 0, 0, 0};

} // namespace

class HidrawInterruptsTest : public QObject {
  Q_OBJECT

private slots:
  void oneDeliveryPerReportInOrder();
  void reportsQueuedTogetherAllArrive();
  void handlerArguments();
  void reportLongerThanTheBufferIsCut();
  void deliveryWaitsForDefaultMode();
  void releasedHandleGetsNothing();
};

void HidrawInterruptsTest::oneDeliveryPerReportInOrder() {
  ArmedInterface1 armed;
  QCOMPARE(armed.armStatus, hid::kSuccess);
  FakeHidrawNode &node = armed.node;
  Receiver &receiver = armed.receiver;

  node.sendInterruptReport(kReport1);
  QTRY_COMPARE(receiver.deliveries.size(), size_t{1});
  node.sendInterruptReport(kReport2);
  QTRY_COMPARE(receiver.deliveries.size(), size_t{2});
  node.sendInterruptReport(kReport3);
  QTRY_COMPARE(receiver.deliveries.size(), size_t{3});
  QCOMPARE(receiver.reports(),
           (std::vector<Bytes>{kReport1, kReport2, kReport3}));
}

// Two reports wait in the node when the event loop gets to it: both are
// read in that turn and handed over one by one.
void HidrawInterruptsTest::reportsQueuedTogetherAllArrive() {
  ArmedInterface1 armed;
  QCOMPARE(armed.armStatus, hid::kSuccess);
  FakeHidrawNode &node = armed.node;
  Receiver &receiver = armed.receiver;

  node.sendInterruptReport(kReport1);
  node.sendInterruptReport(kReport2);
  QTRY_VERIFY(node.readable());
  QCoreApplication::processEvents();
  QCOMPARE(node.reportsQueued(), 0);
  QTRY_COMPARE(receiver.deliveries.size(), size_t{2});
  QCOMPARE(receiver.reports(), (std::vector<Bytes>{kReport1, kReport2}));
  DeliverPendingEvents();
  QCOMPARE(receiver.deliveries.size(), size_t{2});
}

void HidrawInterruptsTest::handlerArguments() {
  ArmedInterface1 armed;
  QCOMPARE(armed.armStatus, hid::kSuccess);
  armed.node.sendInterruptReport(kReport1);
  QTRY_COMPARE(armed.receiver.deliveries.size(), size_t{1});
  const Delivery &delivery = armed.receiver.deliveries[0];
  QCOMPARE(delivery.target, static_cast<void *>(armed.receiver.buffer));
  QCOMPARE(delivery.result, hid::kSuccess);
  QCOMPARE(delivery.refcon, static_cast<void *>(&armed.receiver));
  QCOMPARE(delivery.sender, static_cast<void *>(armed.interface));
}

void HidrawInterruptsTest::reportLongerThanTheBufferIsCut() {
  ArmedInterface1 armed(4);
  QCOMPARE(armed.armStatus, hid::kSuccess);
  Receiver &receiver = armed.receiver;
  std::memset(receiver.buffer, 0x5A, sizeof receiver.buffer);
  armed.node.sendInterruptReport(kReport2);
  QTRY_COMPARE(receiver.deliveries.size(), size_t{1});
  QCOMPARE(receiver.deliveries[0].bytes,
           Bytes(kReport2.begin(), kReport2.begin() + 4));
  QCOMPARE(receiver.buffer[4], uint8_t{0x5A});
}

// hidraw keeps only a few reports per reader: the node is read while the
// modal scope is open, and the deliveries follow in order once it closes.
void HidrawInterruptsTest::deliveryWaitsForDefaultMode() {
  ArmedInterface1 armed;
  QCOMPARE(armed.armStatus, hid::kSuccess);
  FakeHidrawNode &node = armed.node;
  Receiver &receiver = armed.receiver;
  {
    runloop::ModalScope modal;
    node.sendInterruptReport(kReport1);
    node.sendInterruptReport(kReport2);
    QTRY_COMPARE(node.reportsQueued(), 0);
    node.sendInterruptReport(kReport3);
    QTRY_COMPARE(node.reportsQueued(), 0);
    DeliverPendingEvents();
    QVERIFY(receiver.deliveries.empty());
  }
  QTRY_COMPARE(receiver.deliveries.size(), size_t{3});
  QCOMPARE(receiver.reports(),
           (std::vector<Bytes>{kReport1, kReport2, kReport3}));
}

// Reports read before the handle was released never reach its handler.
void HidrawInterruptsTest::releasedHandleGetsNothing() {
  ArmedInterface1 armed;
  QCOMPARE(armed.armStatus, hid::kSuccess);
  FakeHidrawNode &node = armed.node;
  Receiver &receiver = armed.receiver;
  {
    runloop::ModalScope modal;
    node.sendInterruptReport(kReport1);
    QTRY_COMPARE(node.reportsQueued(), 0);
    PinworthClearInterfaceList();
  }
  node.sendInterruptReport(kReport2);
  QTest::qWait(50);
  DeliverPendingEvents();
  QVERIFY(receiver.deliveries.empty());
  QCOMPARE(node.reportsQueued(), 1);
}

QTEST_GUILESS_MAIN(HidrawInterruptsTest)
#include "tst_hidraw_interrupts.moc"
