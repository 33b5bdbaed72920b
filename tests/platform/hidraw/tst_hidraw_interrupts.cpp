// Interrupt reports over the hidraw backend: each report the device sends
// reaches the handler once, in order, in the registered buffer; the node is
// drained also while a stuck request or a modal scope holds the main thread,
// when only the delivery waits, and what the queue cannot keep is counted;
// nothing reaches a handle that is gone.
#include "platform/InputReportQueue.h"
#include "runloop/DefaultMode.h"
#include "tests/platform/hidraw/HidrawLibrary.h"
#include "tests/support/NumberedReports.h"

#include <QTest>

#include <atomic>
#include <thread>

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
  int changes_ = 0; // arrivals and removals told

  static void CountChange(void *refcon) { ++*static_cast<int *>(refcon); }

private slots:
  // A PinworthA at 1-4, its interface 1 armed with the first 8 bytes of
  // buffer_.
  void init() {
    gDeliveries.clear();
    changes_ = 0;
    lib_ = std::make_unique<HidrawLibrary>();
    // The list is read once the arrival is told: a later one would rebuild
    // it and release the armed handle.
    PinworthSetDeviceCallback(CountChange, &changes_);
    lib_->testbed.plugPinworth("1-4", kPinworthAProductID, "1");
    QTRY_COMPARE(changes_, 1);
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

  void armForNumbers(Received &received) {
    QCOMPARE(PinworthSetInterruptCallback(interface_, buffer_, 8, Receive,
                                          &received),
             hid::kSuccess);
  }
  // Sends numbered reports from a thread of its own until count are sent or
  // stop is set, as fast as the reader keeps the node's queue short (a
  // device's pace; the kernel would drop what does not fit).
  std::thread sendFromTheDevice(uint32_t count, std::atomic<bool> *stop) {
    return std::thread([node = node_, count, stop] {
      for (uint32_t n = 0; n < count && !*stop; ++n) {
        node->sendInterruptReport(NumberedReport(n));
        while (node->reportsQueued() > 32 && !*stop)
          std::this_thread::yield();
      }
    });
  }

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

  // 10,000 reports while a request interface 0 never answers, then a modal
  // scope hold the main thread: the reader keeps the node drained, the first
  // ones the queue holds are delivered in order once the main thread is
  // free, and the rest are counted exactly.
  void burstWhileTheMainThreadIsHeld() {
    Received received;
    armForNumbers(received);
    lib_->testbed.node("1-4", 0).setStalled(true);
    {
      runloop::ModalScope held;
      std::atomic<bool> stop = false;
      std::thread device = sendFromTheDevice(10000, &stop);
      hid::DeviceInterface *interface0 = ListedInterface(0);
      uint8_t pins[4];
      CaptureStderr([&] { PinworthReadFromInterface(interface0, 0, 4, pins); });
      device.join();
      QTRY_COMPARE(node_->reportsQueued(), 0);
      QVERIFY(received.numbers.empty());
    }
    const uint32_t kept = hid::InputReportQueue::kCapacity;
    QTRY_COMPARE(received.numbers.size() + received.lost, size_t{10000});
    QCOMPARE(received.lost, 10000u - kept);
    QCOMPARE(interface_->lostInterruptReports(), 10000u - kept);
    for (uint32_t n = 0; n < kept; ++n)
      QCOMPARE(received.numbers[n], n);
  }

  // Unplugged while it sends: once the removal is told, nothing more reaches
  // the handler and the reader lets the node go.
  void unplugDuringABurst() {
    Received received;
    armForNumbers(received);
    std::atomic<bool> stop = false;
    std::thread device = sendFromTheDevice(UINT32_MAX, &stop);
    QTRY_VERIFY(received.numbers.size() >= 500);
    lib_->testbed.unplug("1-4");
    QTRY_COMPARE(changes_, 2);
    const size_t atRemoval = received.numbers.size();
    stop = true;
    device.join();
    QTest::qWait(50);
    QCOMPARE(received.numbers.size(), atRemoval);
    QVERIFY(std::is_sorted(received.numbers.begin(), received.numbers.end()));
  }
};

QTEST_GUILESS_MAIN(HidrawInterruptsTest)
#include "tst_hidraw_interrupts.moc"
