// Reading without a window: an InterfaceReader over the real library and the
// simulated backend. Polls follow the selection and drop duplicates; a
// failed poll is told; a poll waits for its answer; readers that listen to one
// interface share its one arming, and each gets every report and every loss
// until it stops.
#include "app/InterfaceReader.h"
#include "core/reports/ReportRecord.h"
#include "lib/PinworthLib.h"
#include "platform/InputReportQueue.h"
#include "tests/lib/LibTestSupport.h"

#include <QSignalSpy>
#include <QTest>

using hid::sim::Model;

namespace {

struct Logged {
  std::vector<QByteArray> reports; // report ID byte (or none) and data
  uint64_t lost = 0;
};

void Record(explorer::InterfaceReader &reader, Logged &logged) {
  QObject::connect(&reader, &explorer::InterfaceReader::reportRead,
                   [&logged](int reportID, const uint8_t *data, int size,
                             const core::InterfaceIdentity &) {
                     QByteArray report(reinterpret_cast<const char *>(data),
                                       size);
                     if (reportID != core::kNoReportID)
                       report.prepend(char(reportID));
                     logged.reports.push_back(report);
                   });
  QObject::connect(&reader, &explorer::InterfaceReader::lossNoticed,
                   [&logged](uint64_t count, const core::InterfaceIdentity &) {
                     logged.lost += count;
                   });
}

} // namespace

class InterfaceReaderTest : public QObject {
  Q_OBJECT

  std::unique_ptr<SimulatedLibrary> lib_;
  hid::sim::DeviceID device_ = 0;
  core::InterfaceListeners listeners_;

  std::unique_ptr<explorer::InterfaceReader> reader() {
    return std::make_unique<explorer::InterfaceReader>(listeners_);
  }
  core::InterfaceIdentity interface0() { return *core::IdentityAtPosition(0); }
  core::InterfaceIdentity interface1() { return *core::IdentityAtPosition(1); }

private slots:
  void init() {
    lib_ = std::make_unique<SimulatedLibrary>();
    device_ = lib_->backend.attach(Model::PinworthA, "1000");
    DeliverPendingEvents();
    QCOMPARE(PinworthCountInterfaces(), 2);
  }
  void cleanup() {
    listeners_.followList(); // lets go of what the test left armed
    lib_.reset();
  }

  // Each interface 0 polled is read on its own, wherever the list puts it,
  // its duplicates dropped against its own last value; a failure or a stop
  // ends its polling only.
  void eachPollingReadsItsOwnInterface() {
    std::unique_ptr<explorer::InterfaceReader> polling = reader();
    Logged logged;
    QList<core::InterfaceIdentity> sources;
    Record(*polling, logged);
    connect(polling.get(), &explorer::InterfaceReader::reportRead,
            [&sources](int, const uint8_t *, int,
                       const core::InterfaceIdentity &source) {
              sources << source;
            });
    const core::InterfaceIdentity a = interface0();
    polling->startPolling(a);
    QTRY_COMPARE(logged.reports, std::vector<QByteArray>{"\xff\xff\xff\xff"});
    const hid::sim::DeviceID deviceB =
        lib_->backend.attach(Model::PinworthB, "2000");
    DeliverPendingEvents();
    QCOMPARE(PinworthCountInterfaces(), 4);
    lib_->backend.setPinPulledLow(deviceB, 3, true);
    const core::InterfaceIdentity b =
        *core::IdentityAtPosition(core::PositionOfIdentity(a) == 0 ? 2 : 0);
    polling->startPolling(b);
    QTRY_COMPARE(logged.reports.size(), size_t(2));
    QCOMPARE(logged.reports[1], QByteArray("\xf7\xff\xff\xff"));
    QCOMPARE(sources, (QList<core::InterfaceIdentity>{a, b}));
    QCOMPARE(polling->polled(), (QList<core::InterfaceIdentity>{a, b}));
    QTest::qWait(120);
    QCOMPARE(logged.reports.size(), size_t(2));
    lib_->backend.setPinPulledLow(device_, 0, true);
    QTRY_COMPARE(logged.reports.size(), size_t(3));
    QCOMPARE(logged.reports[2], QByteArray("\xfe\xff\xff\xff"));
    QCOMPARE(sources.back(), a);

    QSignalSpy failed(polling.get(), &explorer::InterfaceReader::pollFailed);
    lib_->backend.faults(device_, 0).nextReadStatus = hid::kErrorIO;
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toInt(), hid::kErrorIO);
    QVERIFY(!polling->isPolling(a));
    QVERIFY(polling->isPolling(b));
    lib_->backend.setPinPulledLow(deviceB, 3, false);
    QTRY_COMPARE(logged.reports.size(), size_t(4));
    QCOMPARE(sources.back(), b);
    polling->stopPolling(b);
    QVERIFY(!polling->isPolling());
  }

  // A device that does not answer is not asked again while its read waits
  // (a read made meanwhile would be answered "busy"); its time-out ends
  // polling. The answer to a poll made before polling stopped is not told.
  void aPollWaitsForItsAnswerAndAStaleOneIsDropped() {
    std::unique_ptr<explorer::InterfaceReader> polling = reader();
    QSignalSpy failed(polling.get(), &explorer::InterfaceReader::pollFailed);
    lib_->backend.faults(device_, 0).stalled = true;
    polling->startPolling(interface0());
    polling->poll();
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toInt(), hid::kErrorTimeout);
    QVERIFY(!polling->isPolling());
    QTest::qWait(120);
    QCOMPARE(failed.count(), 1);

    lib_->backend.faults(device_, 0).stalled = false;
    QTest::qWait(60); // the last read's stall is over
    Logged logged;
    Record(*polling, logged);
    polling->startPolling(interface0()); // read at once, answered later
    lib_->backend.setPinPulledLow(device_, 0, true);
    polling->stopPolling(interface0());
    polling->startPolling(interface0());
    QTRY_COMPARE(logged.reports.size(), size_t(1));
    QTest::qWait(20);
    QCOMPARE(logged.reports, std::vector<QByteArray>{"\xfe\xff\xff\xff"});
    polling->stopPolling(interface0());
  }

  // Two readers on one interface: one arming, every report and the loss of
  // a burst the queue could not keep to both; once one stops, only the
  // other gets reports, and the handle goes with the last.
  void readersShareOneArming() {
    std::unique_ptr<explorer::InterfaceReader> first = reader(),
                                               second = reader();
    Logged one, two;
    Record(*first, one);
    Record(*second, two);
    first->listen(1, interface1());
    second->listen(1, interface1());
    const auto handlers = [this] {
      int installed = 0;
      for (const auto &handle : lib_->backend.handleHistories(device_, 1))
        installed += handle.handlerInstalled;
      return installed;
    };
    QCOMPARE(handlers(), 1);
    const uint32_t burst = hid::InputReportQueue::kCapacity + 10;
    // The main thread takes nothing while it sends: the queue overflows.
    for (uint32_t n = 0; n < burst; ++n) {
      lib_->backend.sendInputReport(device_, 1, {5, uint8_t(n), 0, 0});
      if (n % 32 == 31)
        lib_->backend.waitForKernelQueues();
    }
    lib_->backend.waitForKernelQueues();
    QTRY_COMPARE(one.reports.size() + one.lost, size_t(burst));
    QCOMPARE(one.lost, 10u);
    QCOMPARE(two.reports, one.reports);
    QCOMPARE(two.lost, one.lost);

    first.reset();
    lib_->backend.sendInputReport(device_, 1, {5, 1, 2, 3});
    QTRY_COMPARE(two.reports.size(),
                 size_t(hid::InputReportQueue::kCapacity + 1));
    QCOMPARE(handlers(), 1);
    second.reset();
    QCOMPARE(handlers(), 0);
  }
};

QTEST_GUILESS_MAIN(InterfaceReaderTest)
#include "tst_interface_reader.moc"
