// The interrupt-report contract of DeviceInterface, the same cases on every
// backend (one row each): reports delivered once each, in order, into the
// buffer; a burst the queue cannot hold while the main thread is held, its
// loss told exactly and before the next report; nothing for a handler once
// it was removed or replaced, its handle closed or released, or its device
// unplugged; a handler that closes, re-arms or releases its handle from
// inside a call, also from inside the loss call; a handler installed on a
// closed handle waiting for the next open; each report's time taken where
// it was read. In the test VM
// ($PINWORTH_GADGET set) the cases run on the real kernel instead.
#include "platform/InputReportQueue.h"
#include "platform/ReaderPriority.h"
#include "tests/platform/InterruptTestbed.h"
#include "tests/platform/hidraw/HidrawInterruptTestbed.h"
#include "tests/platform/kernel/KernelInterruptTestbed.h"
#include "tests/platform/simulated/SimInterruptTestbed.h"
#include "tests/support/NumberedReports.h"
#include "tests/support/ProcessLimits.h"

#include <QTest>

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <numeric>
#include <set>
#include <thread>

namespace {

constexpr uint32_t kCapacity = hid::InputReportQueue::kCapacity;

std::unique_ptr<InterruptTestbed> MakeTestbed(const QString &backend) {
  if (backend == "simulated")
    return std::make_unique<SimInterruptTestbed>();
  if (backend == "kernel")
    return std::make_unique<KernelInterruptTestbed>();
  return std::make_unique<HidrawInterruptTestbed>();
}

std::vector<uint32_t> Numbers(uint32_t first, uint32_t count) {
  std::vector<uint32_t> numbers(count);
  std::iota(numbers.begin(), numbers.end(), first);
  return numbers;
}

// What one handler was handed, and what it does after a call.
struct Watch {
  Received received;
  std::vector<size_t> lossesAt;        // received.numbers.size() at each loss
  std::vector<uint32_t> sizes;         // of each report
  std::vector<hid::ReportTime> readAt; // of each report
  void *sender = nullptr;              // what every call must name
  void *buffer = nullptr;
  bool strangeCall = false; // another sender, target or result
  std::function<void(uint32_t number)> afterReport;
  std::function<void()> afterLoss;

  const std::vector<uint32_t> &numbers() const { return received.numbers; }
};

void Record(void *target, hid::Status result, void *refcon, void *sender,
            uint32_t size) {
  auto *watch = static_cast<Watch *>(refcon);
  if (sender != watch->sender || target != watch->buffer ||
      (result != hid::kSuccess && result != hid::kErrorOverrun))
    watch->strangeCall = true;
  Receive(target, result, &watch->received, sender, size);
  if (result == hid::kErrorOverrun) {
    watch->lossesAt.push_back(watch->received.numbers.size());
    if (watch->afterLoss)
      watch->afterLoss();
    return;
  }
  watch->sizes.push_back(size);
  watch->readAt.push_back(
      static_cast<hid::DeviceInterface *>(sender)->interruptReportTime());
  if (watch->afterReport)
    watch->afterReport(watch->received.numbers.back());
}

// A thread of the device's own that sends numbered reports until stopped.
class EndlessSender {
public:
  explicit EndlessSender(InterruptTestbed &testbed)
      : thread_([this, &testbed] {
          for (uint32_t n = 0; !stop_; ++n) {
            testbed.sendOnInterface1(NumberedReport(n));
            if (n % 32 == 31)
              testbed.waitUntilTakenIn();
          }
        }) {}
  ~EndlessSender() {
    stop_ = true;
    thread_.join();
  }

private:
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

} // namespace

// How many of the process's threads run at real-time priority.
int RealTimeThreads() {
  int count = 0;
  for (const QString &task : QDir("/proc/self/task").entryList(QDir::Dirs))
    if (const pid_t thread = task.toInt();
        thread > 0 && sched_getscheduler(thread) == SCHED_FIFO)
      ++count;
  return count;
}

// Whether a thread started now is granted real-time priority.
bool RealTimeGranted() {
  bool granted = false;
  std::thread([&] {
    const sched_param parameters{hid::kReaderPriority};
    granted =
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters) == 0;
  }).join();
  return granted;
}

class InterruptContractTest : public QObject {
  Q_OBJECT

  std::unique_ptr<InterruptTestbed> testbed_;
  hid::DeviceInterface *handle_ = nullptr; // interface 1, owned, open
  hid::DeviceInterface *interface0_ = nullptr;
  uint8_t buffer_[12] = {};

  hid::Status arm(Watch &watch) {
    watch.sender = handle_;
    watch.buffer = buffer_;
    return handle_->setInterruptReportHandlerCallback(buffer_, 8, Record,
                                                      buffer_, &watch);
  }
  void armAndListen(Watch &watch) {
    QCOMPARE(arm(watch), hid::kSuccess);
    testbed_->waitUntilHeard();
  }
  // Numbered reports first.., paced as a device is.
  void send(uint32_t first, uint32_t count) {
    for (uint32_t n = first; n < first + count; ++n) {
      testbed_->sendOnInterface1(NumberedReport(n));
      if (n % 32 == 31)
        testbed_->waitUntilTakenIn();
    }
    testbed_->waitUntilTakenIn();
  }
  // The device sends while a request interface 0 never answers holds the
  // main thread; every report is on its way when it returns, none delivered
  // yet.
  void sendWhileHeld(uint32_t first, uint32_t count) {
    testbed_->stallInterface0();
    std::thread device([=, this] { send(first, count); });
    uint8_t pins[4];
    uint32_t size = sizeof pins;
    const hid::Status stuck =
        interface0_->getReport(hid::ReportType::Input, 0, pins, &size, 500);
    device.join();
    QCOMPARE(stuck, hid::kErrorTimeout);
  }
  void act(const QString &action, Watch &replacement) {
    if (action == "closes")
      QCOMPARE(handle_->close(), hid::kSuccess);
    else if (action == "re-arms")
      QCOMPARE(arm(replacement), hid::kSuccess);
    else if (action == "releases")
      std::exchange(handle_, nullptr)->Release();
    else if (action == "removes")
      QCOMPARE(handle_->setInterruptReportHandlerCallback(nullptr, 0, nullptr,
                                                          nullptr, nullptr),
               hid::kSuccess);
    else if (action == "unplugs")
      testbed_->unplug();
  }

private slots:
  void initTestCase_data() {
    QTest::addColumn<QString>("backend");
    if (qEnvironmentVariableIsSet("PINWORTH_GADGET")) {
      QTest::newRow("kernel") << QString("kernel");
      return;
    }
    QTest::newRow("simulated") << QString("simulated");
    QTest::newRow("hidraw") << QString("hidraw");
  }

  void init() {
    QFETCH_GLOBAL(QString, backend);
    testbed_ = MakeTestbed(backend);
    testbed_->attachPinworthA();
    handle_ = NewHandleOnInterface(1);
    interface0_ = NewHandleOnInterface(0);
    QVERIFY(handle_ && interface0_);
    QCOMPARE(handle_->open(0), hid::kSuccess);
    QCOMPARE(interface0_->open(0), hid::kSuccess);
    std::fill(std::begin(buffer_), std::end(buffer_), 0x5A);
  }
  void cleanup() {
    if (handle_)
      std::exchange(handle_, nullptr)->Release();
    if (interface0_)
      std::exchange(interface0_, nullptr)->Release();
    testbed_.reset();
  }

  // Each report carries the time it was read, taken where it was read: a
  // main thread held for 500 ms moves no report's time. Taken when the held
  // thread got to it, the reports (sent within 140 ms) would be 360 ms late
  // or more; the kernel bed's software CPU takes up to tens of ms.
  void stampedWhereRead() {
    Watch watch;
    armAndListen(watch);
    std::vector<hid::ReportTime> sentAt;
    testbed_->stallInterface0();
    {
      std::thread device([&] {
        for (uint32_t n = 0; n < 8; ++n) {
          sentAt.push_back(std::chrono::steady_clock::now());
          testbed_->sendOnInterface1(NumberedReport(n));
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
      });
      uint8_t pins[4];
      uint32_t size = sizeof pins;
      interface0_->getReport(hid::ReportType::Input, 0, pins, &size, 500);
      device.join();
    }
    QTRY_COMPARE(watch.numbers().size(), size_t(8));
    QCOMPARE(watch.numbers(), Numbers(0, 8));
    for (size_t n = 0; n < 8; ++n) {
      const auto late = std::chrono::duration_cast<std::chrono::microseconds>(
                            watch.readAt[n] - sentAt[n])
                            .count();
      QVERIFY2(late >= 0 && late < 200'000,
               qPrintable(QString("report %1 read %2 us after it was sent")
                              .arg(n)
                              .arg(late)));
    }
  }

  // A report longer than the buffer is cut to it; nothing comes twice.
  void deliveredOnceEachInOrderIntoTheBuffer() {
    Watch watch;
    armAndListen(watch);
    send(0, 100);
    std::vector<uint8_t> longer = NumberedReport(100);
    longer.push_back(0xA1);
    longer.push_back(0xA2);
    testbed_->sendOnInterface1(longer);
    QTRY_COMPARE(watch.numbers().size(), size_t(101));
    QTest::qWait(20);
    QCOMPARE(watch.numbers(), Numbers(0, 101));
    QCOMPARE(watch.sizes, std::vector<uint32_t>(101, 8));
    QCOMPARE(buffer_[8], uint8_t(0x5A));
    QVERIFY(watch.lossesAt.empty());
    QVERIFY(!watch.strangeCall);
  }

  // A kernel's reader, and it alone, runs at real-time priority where the
  // system grants it; refused, it reads all the same and says why.
  void aReaderAtRealTimePriorityWhereGranted() {
    QFETCH_GLOBAL(QString, backend);
    if (backend == "simulated")
      QSKIP("the simulated kernel queue's reader runs at normal priority");
    Watch granted;
    armAndListen(granted);
    send(0, 1);
    QTRY_COMPARE(granted.numbers().size(), size_t(1)); // the reader has run
    QCOMPARE(RealTimeThreads(), RealTimeGranted() ? 1 : 0);
    cleanup();
    Watch watch;
    {
      const WithoutRealTimePriority refused;
      init();
      armAndListen(watch);
    }
    send(0, 300);
    QTRY_COMPARE(watch.numbers(), Numbers(0, 300));
    QCOMPARE(RealTimeThreads(), 0);
    QVERIFY2(QString::fromStdString(hid::ReaderPriorityProblem())
                 .startsWith("real-time priority was not granted "
                             "(Operation not permitted; RLIMIT_RTPRIO is 0)"),
             hid::ReaderPriorityProblem().c_str());
  }

  // However fast reports come, the handler's thread is woken for them at
  // most once a frame, and each wake takes everything queued.
  void theHandlersThreadIsWokenAtMostOnceAFrame() {
    // A 0 ms timer runs once each turn of the event loop: the turns that
    // delivered reports are the wakes.
    int turn = 0;
    QTimer turns;
    connect(&turns, &QTimer::timeout, [&] { ++turn; });
    turns.start(0);
    std::set<int> wakes;
    Watch watch;
    watch.afterReport = [&](uint32_t) { wakes.insert(turn); };
    armAndListen(watch);
    QElapsedTimer elapsed;
    elapsed.start();
    std::thread device([this] {
      for (uint32_t n = 0; n < 400; ++n) {
        testbed_->sendOnInterface1(NumberedReport(n));
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
    });
    QTRY_COMPARE(watch.numbers().size(), size_t(400));
    device.join();
    QCOMPARE(watch.numbers(), Numbers(0, 400));
    const auto frames = elapsed.elapsed() / hid::InputReportQueue::kRestMS;
    QVERIFY2(
        qsizetype(wakes.size()) <= frames + 2,
        qPrintable(
            QString("%1 wakes in %2 frames").arg(wakes.size()).arg(frames)));
  }

  // The queue keeps the first reports, in order, and counts the rest; the
  // loss is told once, before the report that follows it.
  void burstWhileTheMainThreadIsHeld() {
    Watch watch;
    armAndListen(watch);
    sendWhileHeld(0, 10000);
    QVERIFY(watch.numbers().empty());
    QTRY_COMPARE(watch.numbers().size() + watch.received.lost, size_t(10000));
    send(10000, 1);
    QTRY_COMPARE(watch.numbers().size(), size_t(kCapacity) + 1);
    QCOMPARE(watch.received.lost, 10000u - kCapacity);
    QCOMPARE(handle_->lostInterruptReports(), 10000u - kCapacity);
    QCOMPARE(watch.lossesAt, std::vector<size_t>{kCapacity});
    std::vector<uint32_t> expected = Numbers(0, kCapacity);
    expected.push_back(10000);
    QCOMPARE(watch.numbers(), expected);
    QVERIFY(!watch.strangeCall);
  }

  void nothingMoreReachesAHandlerOnceItsHandle_data() {
    QTest::addColumn<QString>("action");
    for (const char *action :
         {"removes", "re-arms", "closes", "releases", "unplugs"})
      QTest::newRow(action) << QString(action);
  }

  // ...has its handler removed or replaced, is closed or released, or its
  // device is unplugged, while the device sends as fast as it can: nothing
  // more reaches the old handler, also nothing already on its way; a new
  // handler takes over what was on its way.
  void nothingMoreReachesAHandlerOnceItsHandle() {
    QFETCH(QString, action);
    Watch first, second;
    armAndListen(first);
    size_t atAction = 0;
    {
      EndlessSender device(*testbed_);
      QTRY_VERIFY(first.numbers().size() >= 300);
      // Reports pile up on their way while the main thread is held.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      act(action, second);
      atAction = first.numbers().size();
      QTest::qWait(50);
    }
    QTest::qWait(20);
    QCOMPARE(first.numbers().size(), atAction);
    QVERIFY(std::is_sorted(first.numbers().begin(), first.numbers().end()));
    if (action == "re-arms") {
      QTRY_VERIFY(!second.numbers().empty());
      if (second.received.lost == 0)
        QCOMPARE(second.numbers().front(), first.numbers().back() + 1);
      QVERIFY(second.numbers().front() > first.numbers().back());
      QVERIFY(std::is_sorted(second.numbers().begin(), second.numbers().end()));
    }
  }

  void aHandlerActsOnItsHandleFromInsideACall_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("onTheLoss");
    for (const char *action : {"closes", "re-arms", "releases"}) {
      QTest::addRow("%s on a report", action) << QString(action) << false;
      QTest::addRow("%s on the loss", action) << QString(action) << true;
    }
  }

  // The handler acts on report 2 of 5 on their way, or, after a burst the
  // queue could not hold, on the loss told just before a late report: the
  // rest goes to a handler that replaced it, or nowhere.
  void aHandlerActsOnItsHandleFromInsideACall() {
    QFETCH(QString, action);
    QFETCH(bool, onTheLoss);
    constexpr uint32_t kLate = 99999;
    Watch first, second;
    armAndListen(first);
    std::vector<uint32_t> expectedFirst, expectedSecond;
    if (onTheLoss) {
      // The late report is stored once the first batch made room, and
      // carries the loss before it.
      first.afterReport = [&](uint32_t n) {
        if (n == 0) {
          testbed_->sendOnInterface1(NumberedReport(kLate));
          testbed_->waitUntilTakenIn();
        }
      };
      first.afterLoss = [&] { act(action, second); };
      sendWhileHeld(0, kCapacity + 10);
      expectedFirst = Numbers(0, kCapacity);
      if (action == "re-arms")
        expectedSecond = {kLate};
    } else {
      first.afterReport = [&](uint32_t n) {
        if (n == 2)
          act(action, second);
      };
      sendWhileHeld(0, 5);
      expectedFirst = {0, 1, 2};
      if (action == "re-arms")
        expectedSecond = {3, 4};
    }
    QTRY_COMPARE(first.numbers().size(), expectedFirst.size());
    QTest::qWait(50);
    QCOMPARE(first.numbers(), expectedFirst);
    QCOMPARE(first.received.lost, onTheLoss ? 10u : 0u);
    QCOMPARE(second.numbers(), expectedSecond);
    QVERIFY(second.lossesAt.empty());
    QVERIFY(!first.strangeCall && !second.strangeCall);
  }

  // Installed on a closed handle it answers kErrorNotOpen and hears nothing
  // until the handle opens; on an unplugged device kErrorNoDevice, while
  // removing a handler always succeeds.
  void aHandlerOnAClosedHandleWaitsForTheNextOpen() {
    Watch watch;
    QCOMPARE(handle_->close(), hid::kSuccess);
    QCOMPARE(arm(watch), hid::kErrorNotOpen);
    send(1, 1);
    QTest::qWait(20);
    QVERIFY(watch.numbers().empty());
    QCOMPARE(handle_->open(0), hid::kSuccess);
    testbed_->waitUntilHeard();
    send(2, 1);
    QTRY_COMPARE(watch.numbers(), std::vector<uint32_t>{2});
    testbed_->unplug();
    QCOMPARE(arm(watch), hid::kErrorNoDevice);
    QCOMPARE(handle_->setInterruptReportHandlerCallback(nullptr, 0, nullptr,
                                                        nullptr, nullptr),
             hid::kSuccess);
  }
};

QTEST_GUILESS_MAIN(InterruptContractTest)
#include "tst_interrupt_contract.moc"
