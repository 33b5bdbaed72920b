// Reading: polling an interface 0 twenty times a second with duplicate
// suppression, the checkbox, stopping and restarting, failed polls, a device
// that stops answering, and interrupt reports of an armed interface 1.
#include "ExplorerFixture.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QTest>

#include <vector>

using hid::sim::DeviceID;
using hid::sim::Model;

namespace {

const QString kReadError = "Pinworth Error | An error occured while trying to "
                           "read from the selected Pinworth device. | OK";

// The pin levels of a device whose pins are all high, and with pin 0 low.
const QByteArray kAllHigh = QByteArray::fromHex("ffffffff");
const QByteArray kPin0Low = QByteArray::fromHex("feffffff");
const std::vector<uint8_t> kReport5 = {0x05, 1, 2, 3, 4, 5, 6, 7};

ReportRecord polled(const QByteArray &data) {
  return ReportRecord{"R", kNoReportID, data, ""};
}

} // namespace

class ReadingTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() { deviceA = fixture.startWithPinworthA(); }
  void cleanup() { fixture.cleanup(); }

  // The first poll runs at once. With the box checked, a poll equal to the
  // last one logged is dropped; unchecked, every poll is logged, so the log
  // counts polls. Ten periods take 10 x 50 ms; the bound leaves 10 % for a
  // coarse timer that fires early.
  void pollsTwentyTimesASecondAsTheCheckboxSays() {
    auto *checkBox = fixture.widget<QCheckBox>("ignoreDuplicatesCheckBox");
    QVERIFY(checkBox->isChecked());
    QElapsedTimer elapsed;
    elapsed.start();
    fixture.click("readButton");
    QCOMPARE(polls(), 1);
    QCOMPARE(fixture.records(), QList<ReportRecord>{polled(kAllHigh)});
    QCOMPARE(fixture.widget("readButton")->text(), "Stop Reading");
    waitForPolls(3);
    QCOMPARE(fixture.log()->reportCount(), 1);

    checkBox->click();
    const int unlogged = polls() - fixture.log()->reportCount();
    QTRY_VERIFY_WITH_TIMEOUT(polls() >= 11, 5000);
    QVERIFY2(elapsed.elapsed() >= 450,
             qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(polls() - fixture.log()->reportCount(), unlogged);

    checkBox->click();
    const int rows = fixture.log()->reportCount();
    waitForPolls(3);
    QCOMPARE(fixture.log()->reportCount(), rows);
  }

  // A, A, B, A is logged as A, B, A: a report is compared only with the last
  // one logged. Stopping ends the polls; a restart logs its first poll even
  // when it equals the last one logged.
  void dropsReportsEqualToTheLastLoggedUntilStopped() {
    fixture.click("readButton");
    waitForPolls(3);
    fixture.backend().setPinPulledLow(deviceA, 0, true);
    QTRY_COMPARE(fixture.log()->reportCount(), 2);
    waitForPolls(3);
    fixture.backend().setPinPulledLow(deviceA, 0, false);
    QTRY_COMPARE(fixture.log()->reportCount(), 3);
    waitForPolls(3);
    const QList<ReportRecord> logged = {polled(kAllHigh), polled(kPin0Low),
                                        polled(kAllHigh)};
    QCOMPARE(fixture.records(), logged);

    fixture.click("readButton");
    QVERIFY(isIdle());
    const int pollsWhenStopped = polls();
    QTest::qWait(200);
    QCOMPARE(polls(), pollsWhenStopped);
    fixture.click("readButton");
    QCOMPARE(fixture.records(), logged + QList<ReportRecord>{polled(kAllHigh)});
    QVERIFY(fixture.controller()->pollTimerScheduled());
  }

  void failingPollShowsOneAlertAndStops_data() {
    QTest::addColumn<bool>("first");
    QTest::newRow("first poll") << true;
    QTest::newRow("later poll") << false;
  }

  // No tick runs while the alert is up, and reading is idle after it.
  void failingPollShowsOneAlertAndStops() {
    QFETCH(bool, first);
    int pollsWhileUp = -1;
    AlertAnswerer answerer([this, &pollsWhileUp](QMessageBox *) {
      const int pollsAtAlert = polls();
      QTest::qWait(250);
      pollsWhileUp = polls() - pollsAtAlert;
    });
    hid::sim::InterfaceFaults &faults = fixture.backend().faults(deviceA, 0);
    if (first)
      faults.nextReadStatus = hid::kErrorIO;
    fixture.click("readButton");
    if (!first) {
      waitForPolls(3);
      faults.nextReadStatus = hid::kErrorIO;
    }
    QTRY_COMPARE(answerer.shown(), QStringList{kReadError});
    QCOMPARE(pollsWhileUp, 0);
    QTRY_VERIFY(isIdle());
    const int pollsAfter = polls();
    QTest::qWait(200);
    QCOMPARE(polls(), pollsAfter);
    QCOMPARE(answerer.alerts().size(), 1);
    QCOMPARE(fixture.log()->reportCount(), first ? 0 : 1);
  }

  // The poll waits for the transfer's timeout (50 ms) and no longer; the
  // bound checked here is loose on purpose.
  void deviceThatStopsAnsweringBlocksOnePollBriefly() {
    fixture.backend().faults(deviceA, 0).stalled = true;
    QElapsedTimer elapsed;
    qint64 blockedMS = -1;
    AlertAnswerer answerer([&elapsed, &blockedMS](QMessageBox *) {
      blockedMS = elapsed.elapsed();
    });
    elapsed.start();
    fixture.click("readButton");
    QCOMPARE(answerer.shown(), QStringList{kReadError});
    QVERIFY2(blockedMS >= 45 && blockedMS < 200,
             qPrintable(QString::number(blockedMS)));
    QVERIFY(isIdle());
  }

  // Report ID 255 stays 255, equal reports are all logged, and a short report
  // keeps its length.
  void armedInterfaceLogsEveryInterruptReport() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    QVERIFY(isIdle());
    QVERIFY(fixture.controller()->ignoresDuplicates());

    sendInterruptReport(kReport5);
    sendInterruptReport(kReport5);
    sendInterruptReport({0xff, 9, 8, 7, 6, 5, 4, 3});
    sendInterruptReport({0x07, 0xaa, 0xbb});
    QTRY_COMPARE(fixture.log()->reportCount(), 4);
    const QByteArray oneToSeven = QByteArray::fromHex("01020304050607");
    QCOMPARE(fixture.records(),
             QList<ReportRecord>(
                 {{"R", 5, oneToSeven, ""},
                  {"R", 5, oneToSeven, ""},
                  {"R", 255, QByteArray::fromHex("09080706050403"), ""},
                  {"R", 7, QByteArray::fromHex("aabb"), ""}}));
  }

  // Delivered straight to the handler, as a platform would hand over a report
  // of no bytes; a failed report, and one without a controller, are dropped
  // too.
  void emptyOrFailedInterruptReportIsDropped() {
    uint8_t buffer[8] = {0x0c, 0x01, 0x02};
    reportHandlerCallback(buffer, hid::kSuccess, gWindowController, nullptr, 0);
    reportHandlerCallback(buffer, hid::kErrorIO, gWindowController, nullptr, 3);
    reportHandlerCallback(buffer, hid::kSuccess, nullptr, nullptr, 3);
    QCOMPARE(fixture.log()->reportCount(), 0);
    reportHandlerCallback(buffer, hid::kSuccess, gWindowController, nullptr, 3);
    QCOMPARE(fixture.records(),
             (QList<ReportRecord>{{"R", 12, QByteArray::fromHex("0102"), ""}}));
  }

  // Arming a handle again keeps its one handler. A device change hands out
  // new handles; the old ones are let go, handler and all, so only the
  // listed handle of interface 1 lives on.
  void reArmingDeliversOnceAndRebuildsLetGo() {
    fixture.chooseInterface(1);
    for (int press = 0; press < 4; ++press)
      fixture.click("readButton");
    sendInterruptReport(kReport5);
    QTRY_COMPARE(fixture.log()->reportCount(), 1);
    QTest::qWait(100);
    QCOMPARE(fixture.log()->reportCount(), 1);

    for (int change = 0; change < 3; ++change) {
      const DeviceID other = fixture.backend().attach(Model::PinworthB, "3000");
      QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
      fixture.chooseInterface(1);
      fixture.click("readButton");
      fixture.backend().detach(other);
      QTRY_COMPARE(fixture.interfacePopup()->count(), 2);
      fixture.chooseInterface(1);
      fixture.click("readButton");
    }
    int alive = 0;
    for (const hid::sim::HandleHistory &handle :
         fixture.backend().handleHistories(deviceA, 1))
      alive += handle.destroyed ? 0 : 1;
    QCOMPARE(alive, 1);
    sendInterruptReport(kReport5);
    QTRY_COMPARE(fixture.log()->reportCount(), 2);
  }

  // The handle stays armed in the library's list after its controller is
  // gone; its reports must neither reach the old controller nor write into
  // freed memory.
  void reportForAControllerThatIsGoneIsDropped() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    fixture.close();
    sendInterruptReport(kReport5);
    QTest::qWait(50);
  }

private:
  // Polls so far of the device's interface 0: each one opens a handle.
  int polls() {
    int opens = 0;
    for (const hid::sim::HandleHistory &handle :
         fixture.backend().handleHistories(deviceA, 0))
      opens += handle.opens;
    return opens;
  }
  // Waits for at least n more polls.
  void waitForPolls(int n) {
    const int target = polls() + n;
    QTRY_VERIFY(polls() >= target);
  }
  bool isIdle() {
    return fixture.widget("readButton")->text() == "Read" &&
           !fixture.controller()->readingInProgress() &&
           !fixture.controller()->pollTimerScheduled();
  }
  void sendInterruptReport(const std::vector<uint8_t> &report) {
    fixture.backend().sendInputReport(deviceA, 1, report);
  }

  ExplorerFixture fixture;
  DeviceID deviceA = 0;
};

QTEST_MAIN(ReadingTest)
#include "tst_reading.moc"
