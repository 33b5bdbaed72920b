// Interrupt reports in bursts from a device's own thread, on the simulated
// backend: delivered in order while a stuck request and a modal scope hold
// the main thread, none lost up to the queue's size and the rest counted
// exactly; an unplug and a re-arm in the middle of a burst.
#include "tests/lib/LibTestSupport.h"
#include "tests/support/NumberedReports.h"

#include "platform/InputReportQueue.h"
#include "runloop/DefaultMode.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

using hid::sim::Model;

class ReportBurstsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<SimulatedLibrary> lib_;
  hid::sim::DeviceID device_ = 0;
  uint8_t buffer_[8] = {};

  hid::DeviceInterface *interface1() { return PinworthGetInterface(0, 1); }
  void arm(Received &received) {
    QCOMPARE(PinworthSetInterruptCallback(interface1(), buffer_, 8, Receive,
                                          &received),
             0);
  }
  // Sends reports numbered first.. from a thread of its own, 32 at a time,
  // as fast as the kernel's queues are read (as a device paces them).
  void send(uint32_t first, uint32_t count) {
    for (uint32_t n = first; n < first + count; ++n) {
      lib_->backend.sendInputReport(device_, 1, NumberedReport(n));
      if (n % 32 == 31)
        lib_->backend.waitForKernelQueues();
    }
  }
  std::thread sendFromTheDevice(uint32_t first, uint32_t count) {
    return std::thread([this, first, count] { send(first, count); });
  }
  // Sends 10,000 reports and 10,000 more; the main thread takes deliveries
  // while they come until `watched` has 2,000, then acts in the middle of the
  // burst (reports still on their way).
  void burstAround(const Received &watched,
                   const std::function<void()> &middle) {
    std::atomic<bool> acted = false;
    std::thread device([this, &acted] {
      send(0, 10000);
      while (!acted)
        std::this_thread::yield();
      send(10000, 10000);
    });
    QTRY_VERIFY(watched.numbers.size() + watched.lost >= 2000);
    middle();
    acted = true;
    device.join();
  }

private slots:
  void init() {
    lib_ = std::make_unique<SimulatedLibrary>();
    device_ = lib_->backend.attach(Model::PinworthA, "1");
    DeliverPendingEvents(); // the arrival, before the list is first read
  }
  void cleanup() { lib_.reset(); }

  void burstWhileTheMainThreadIsHeld_data() {
    QTest::addColumn<uint32_t>("count");
    QTest::newRow("as many as the queue holds")
        << uint32_t(hid::InputReportQueue::kCapacity);
    QTest::newRow("10,000") << 10000u;
  }

  // A stuck request, then a modal scope hold the main thread for the whole
  // burst: the queue keeps the first reports, in order, and counts the rest.
  void burstWhileTheMainThreadIsHeld() {
    QFETCH(uint32_t, count);
    Received received;
    arm(received);
    lib_->backend.faults(device_, 0).stalled = true;
    uint8_t pins[4];
    {
      runloop::ModalScope held;
      std::thread device = sendFromTheDevice(0, count);
      CaptureStderr([&] {
        PinworthReadFromInterface(PinworthGetInterface(0, 0), 0, 4, pins);
      });
      device.join();
      QCoreApplication::processEvents();
      QVERIFY(received.numbers.empty());
    }
    const uint64_t kept =
        std::min<uint64_t>(count, hid::InputReportQueue::kCapacity);
    QTRY_COMPARE(received.numbers.size() + received.lost, size_t(count));
    QCOMPARE(lib_->backend.kernelDropped(device_, 1), 0u);
    QCOMPARE(received.lost, count - kept);
    QCOMPARE(interface1()->lostInterruptReports(), count - kept);
    for (uint32_t n = 0; n < kept; ++n)
      QCOMPARE(received.numbers[n], n);
  }

  // Nothing reaches the handler once its device is gone, whatever was still
  // on its way; the sanitizers watch the threads meanwhile.
  void unplugDuringABurst() {
    Received received;
    arm(received);
    size_t atUnplug = 0;
    burstAround(received, [&] {
      lib_->backend.detach(device_);
      atUnplug = received.numbers.size();
    });
    QTest::qWait(50);
    QCOMPARE(received.numbers.size(), atUnplug);
  }

  // The new handler takes over what is on its way; the old one gets nothing
  // more.
  void reArmDuringABurst() {
    Received first, second;
    arm(first);
    size_t atReArm = 0;
    burstAround(first, [&] {
      arm(second);
      atReArm = first.numbers.size();
    });
    QTRY_COMPARE(first.numbers.size() + second.numbers.size() + first.lost +
                     second.lost,
                 size_t(20000));
    QCOMPARE(first.numbers.size(), atReArm);
    QVERIFY(!second.numbers.empty());
    QVERIFY(first.numbers.empty() ||
            second.numbers.front() > first.numbers.back());
    QVERIFY(std::is_sorted(second.numbers.begin(), second.numbers.end()));
  }
};

QTEST_GUILESS_MAIN(ReportBurstsTest)
#include "tst_report_bursts.moc"
