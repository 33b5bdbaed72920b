// Reading: polling an interface 0 twenty times a second with duplicate
// suppression, the checkbox, stopping and restarting, failed polls, a device
// that stops answering, and interrupt reports of an armed interface 1.
#include "ExplorerFixture.h"
#include "InterruptReportBuffers.h"
#include "ModalTestSupport.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QTest>

#include <array>
#include <memory>
#include <vector>

using hid::sim::DeviceID;
using hid::sim::Model;

namespace {

const QString kReadError = "Pinworth Error | An error occured while trying to "
                           "read from the selected Pinworth device. | OK";

// The pin levels of a device whose pins are all high, and with pin 0 low.
const QByteArray kAllHigh = QByteArray::fromHex("ffffffff");
const QByteArray kPin0Low = QByteArray::fromHex("feffffff");

ReportRecord polled(const QByteArray &data) {
  return ReportRecord{"R", -1, data, ""};
}

} // namespace

class ReadingTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { fixture.setUp(); }
  void init();
  void cleanup();

  void readWithoutDeviceDoesNothing();
  void pollsAtOnceThenTwentyTimesASecond();
  void dropsReportsEqualToTheLastLogged();
  void checkboxShowsEveryPollAndBack();
  void stopsAndRestarts();
  void failingFirstPollShowsOneAlertAndStaysIdle();
  void failingLaterPollShowsOneAlertAndStops();
  void deviceThatStopsAnsweringBlocksOnePollBriefly();
  void pollFollowsTheMenuSelection();
  void pollReadsTheLongLayoutsSizeAfterADeviceChange();
  void armedInterfaceLogsEveryInterruptReport();
  void emptyOrFailedInterruptReportIsDropped();
  void reArmingDeliversOnceWithOneBuffer();
  void deviceChangeDisarmsUntilReadAgain();
  void interruptReportReplacesLastValueRead();
  void interruptReportsWaitWhileAnAlertIsUp();
  void reportForAControllerThatIsGoneIsDropped();

private:
  // Polls so far of the device's interface 0: each one opens a handle.
  int polls();
  QString readButtonTitle() { return fixture.button("readButton")->text(); }
  void sendInterruptReport(std::vector<uint8_t> report) {
    fixture.backend().sendInputReport(deviceA, 1, std::move(report));
  }
  QList<ReportRecord> records();

  ExplorerFixture fixture;
  DeviceID deviceA = 0;
  std::unique_ptr<ModalWatchdog> watchdog;
};

void ReadingTest::init() {
  watchdog = std::make_unique<ModalWatchdog>();
  deviceA = fixture.backend().attach(Model::PinworthA, "1000");
  fixture.loadAndWake();
}

void ReadingTest::cleanup() {
  QVERIFY(!watchdog->fired());
  fixture.close();
  fixture.detachAllDevices();
}

int ReadingTest::polls() {
  int opens = 0;
  for (const hid::sim::HandleRecord &handle :
       fixture.backend().handles(deviceA, 0))
    opens += handle.opens;
  return opens;
}

QList<ReportRecord> ReadingTest::records() {
  QList<ReportRecord> all;
  for (int i = 0; i < fixture.log()->count(); ++i)
    all << fixture.log()->record(i);
  return all;
}

void ReadingTest::readWithoutDeviceDoesNothing() {
  fixture.detachAllDevices();
  fixture.click("readButton");
  QCOMPARE(readButtonTitle(), QStringLiteral("Read"));
  QVERIFY(!fixture.controller()->readingInProgress());
  QVERIFY(!fixture.controller()->pollTimerScheduled());
  QTest::qWait(100);
  QCOMPARE(fixture.log()->count(), 0);
}

// Every poll is logged while duplicates are shown, so the log counts polls.
// Ten periods take 10 x 50 ms; the bound leaves 10 % for a coarse timer that
// fires early.
void ReadingTest::pollsAtOnceThenTwentyTimesASecond() {
  fixture.widget<QCheckBox>("ignoreDuplicatesCheckBox")->click();
  QVERIFY(!fixture.controller()->ignoresDuplicates());
  QElapsedTimer elapsed;
  elapsed.start();
  fixture.click("readButton");
  QCOMPARE(polls(), 1);
  QCOMPARE(records(), QList<ReportRecord>{polled(kAllHigh)});
  QCOMPARE(readButtonTitle(), QStringLiteral("Stop Reading"));
  QVERIFY(fixture.controller()->readingInProgress());
  QVERIFY(fixture.controller()->pollTimerScheduled());

  QTRY_VERIFY_WITH_TIMEOUT(polls() >= 11, 5000);
  QVERIFY2(elapsed.elapsed() >= 450,
           qPrintable(QString::number(elapsed.elapsed())));
  QCOMPARE(fixture.log()->count(), polls());
  fixture.click("readButton");
}

// A, A, B, A is logged as A, B, A: a report is compared only with the last one
// logged.
void ReadingTest::dropsReportsEqualToTheLastLogged() {
  QVERIFY(fixture.controller()->ignoresDuplicates());
  fixture.click("readButton");
  QTRY_VERIFY(polls() >= 4);
  QCOMPARE(records(), QList<ReportRecord>{polled(kAllHigh)});

  fixture.backend().setPinPulledLow(deviceA, 0, true);
  QTRY_COMPARE(fixture.log()->count(), 2);
  const int pollsAtB = polls();
  QTRY_VERIFY(polls() >= pollsAtB + 3);
  QCOMPARE(fixture.log()->count(), 2);

  fixture.backend().setPinPulledLow(deviceA, 0, false);
  QTRY_COMPARE(fixture.log()->count(), 3);
  const int pollsAtA = polls();
  QTRY_VERIFY(polls() >= pollsAtA + 3);
  QCOMPARE(records(), QList<ReportRecord>({polled(kAllHigh), polled(kPin0Low),
                                           polled(kAllHigh)}));
  fixture.click("readButton");
}

void ReadingTest::checkboxShowsEveryPollAndBack() {
  auto *checkBox = fixture.widget<QCheckBox>("ignoreDuplicatesCheckBox");
  QVERIFY(checkBox->isChecked());
  fixture.click("readButton");
  QTRY_VERIFY(polls() >= 3);
  QCOMPARE(fixture.log()->count(), 1);

  checkBox->click();
  QVERIFY(!fixture.controller()->ignoresDuplicates());
  const int pollsWhenShown = polls();
  QTRY_VERIFY(polls() >= pollsWhenShown + 3);
  QVERIFY(fixture.log()->count() >= 4);

  checkBox->click();
  QVERIFY(fixture.controller()->ignoresDuplicates());
  const int rows = fixture.log()->count();
  const int pollsWhenIgnored = polls();
  QTRY_VERIFY(polls() >= pollsWhenIgnored + 3);
  QCOMPARE(fixture.log()->count(), rows);
  fixture.click("readButton");
}

void ReadingTest::stopsAndRestarts() {
  fixture.click("readButton");
  QTRY_VERIFY(polls() >= 2);
  fixture.click("readButton");
  QCOMPARE(readButtonTitle(), QStringLiteral("Read"));
  QVERIFY(!fixture.controller()->readingInProgress());
  QVERIFY(!fixture.controller()->pollTimerScheduled());
  const int pollsWhenStopped = polls();
  QTest::qWait(200);
  QCOMPARE(polls(), pollsWhenStopped);
  QCOMPARE(fixture.log()->count(), 1);

  fixture.click("readButton");
  QCOMPARE(records(),
           QList<ReportRecord>({polled(kAllHigh), polled(kAllHigh)}));
  QCOMPARE(readButtonTitle(), QStringLiteral("Stop Reading"));
  fixture.click("readButton");
}

void ReadingTest::failingFirstPollShowsOneAlertAndStaysIdle() {
  fixture.backend().faults(deviceA, 0).nextReadStatus = hid::kErrorIO;
  int pollsWhileUp = -1;
  AlertAnswerer answerer([this, &pollsWhileUp](QMessageBox *) {
    const int pollsAtAlert = polls();
    QTest::qWait(250);
    pollsWhileUp = polls() - pollsAtAlert;
  });
  fixture.click("readButton");
  QCOMPARE(answerer.shown(), QStringList{kReadError});
  QCOMPARE(pollsWhileUp, 0);
  QCOMPARE(readButtonTitle(), QStringLiteral("Read"));
  QVERIFY(!fixture.controller()->readingInProgress());
  QVERIFY(!fixture.controller()->pollTimerScheduled());
  QTest::qWait(200);
  QCOMPARE(polls(), 1);
  QCOMPARE(answerer.alerts().size(), 1);
  QCOMPARE(fixture.log()->count(), 0);
}

void ReadingTest::failingLaterPollShowsOneAlertAndStops() {
  int pollsWhileUp = -1;
  AlertAnswerer answerer([this, &pollsWhileUp](QMessageBox *) {
    const int pollsAtAlert = polls();
    QTest::qWait(250);
    pollsWhileUp = polls() - pollsAtAlert;
  });
  fixture.click("readButton");
  QTRY_VERIFY(polls() >= 3);
  fixture.backend().faults(deviceA, 0).nextReadStatus = hid::kErrorIO;
  QTRY_COMPARE(answerer.alerts().size(), 1);
  QCOMPARE(answerer.shown(), QStringList{kReadError});
  QCOMPARE(pollsWhileUp, 0);
  QTRY_COMPARE(readButtonTitle(), QStringLiteral("Read"));
  QVERIFY(!fixture.controller()->readingInProgress());
  QVERIFY(!fixture.controller()->pollTimerScheduled());
  const int pollsAfter = polls();
  QTest::qWait(200);
  QCOMPARE(polls(), pollsAfter);
  QCOMPARE(answerer.alerts().size(), 1);
  QCOMPARE(records(), QList<ReportRecord>{polled(kAllHigh)});
}

// The poll waits for the transfer's timeout (50 ms) and no longer; the bound
// checked here is loose on purpose.
void ReadingTest::deviceThatStopsAnsweringBlocksOnePollBriefly() {
  fixture.backend().faults(deviceA, 0).stalled = true;
  QElapsedTimer elapsed;
  qint64 blockedMS = -1;
  AlertAnswerer answerer(
      [&elapsed, &blockedMS](QMessageBox *) { blockedMS = elapsed.elapsed(); });
  elapsed.start();
  fixture.controller()->doRead(nullptr);
  QCOMPARE(answerer.shown(), QStringList{kReadError});
  QVERIFY2(blockedMS >= 45 && blockedMS < 200,
           qPrintable(QString::number(blockedMS)));
  QVERIFY(!fixture.controller()->readingInProgress());
}

void ReadingTest::pollFollowsTheMenuSelection() {
  fixture.click("readButton");
  QTRY_VERIFY(polls() >= 2);
  fixture.chooseInterface(1);
  const int pollsOnInterface1 = polls();
  QTest::qWait(200);
  QCOMPARE(polls(), pollsOnInterface1);
  QCOMPARE(readButtonTitle(), QStringLiteral("Stop Reading"));
  QVERIFY(fixture.controller()->readingInProgress());

  fixture.click("readButton");
  QCOMPARE(readButtonTitle(), QStringLiteral("Read"));
  QVERIFY(!fixture.controller()->readingInProgress());
  fixture.click("readButton");
  QCOMPARE(readButtonTitle(), QStringLiteral("Read"));
  sendInterruptReport({5, 1, 2, 3, 4, 5, 6, 7});
  QTRY_COMPARE(fixture.log()->count(), 2);
}

// The form keeps the long layout after a device change, so polls of the
// interface 0 then shown take 7 bytes; the device fills 4 of them.
void ReadingTest::pollReadsTheLongLayoutsSizeAfterADeviceChange() {
  fixture.chooseInterface(1);
  fixture.backend().attach(Model::PinworthB, "2000");
  QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
  QCOMPARE(fixture.interfacePopup()->currentIndex(), 0);
  fixture.click("readButton");
  QCOMPARE(records(),
           QList<ReportRecord>{polled(QByteArray::fromHex("ffffffff000000"))});
  fixture.flushLog();
  QCOMPARE(fixture.rowTexts(0),
           QStringList({"R", "", "0xff", "0xff", "0xff", "0xff", "", "", ""}));
  fixture.click("readButton");
}

void ReadingTest::armedInterfaceLogsEveryInterruptReport() {
  fixture.chooseInterface(1);
  fixture.click("readButton");
  QCOMPARE(readButtonTitle(), QStringLiteral("Read"));
  QVERIFY(!fixture.controller()->readingInProgress());
  QVERIFY(!fixture.controller()->pollTimerScheduled());
  QVERIFY(fixture.controller()->ignoresDuplicates());

  sendInterruptReport({0x05, 1, 2, 3, 4, 5, 6, 7});
  sendInterruptReport({0x05, 1, 2, 3, 4, 5, 6, 7});
  sendInterruptReport({0xff, 9, 8, 7, 6, 5, 4, 3});
  sendInterruptReport({0x80, 0, 0, 0, 0, 0, 0, 0});
  sendInterruptReport({0x07, 0xaa, 0xbb});
  QTRY_COMPARE(fixture.log()->count(), 5);
  const QByteArray oneToSeven = QByteArray::fromHex("01020304050607");
  QCOMPARE(records(),
           QList<ReportRecord>(
               {{"R", 5, oneToSeven, ""},
                {"R", 5, oneToSeven, ""},
                {"R", 255, QByteArray::fromHex("09080706050403"), ""},
                {"R", 128, QByteArray(7, 0), ""},
                {"R", 7, QByteArray::fromHex("aabb"), ""}}));
  fixture.flushLog();
  QCOMPARE(fixture.rowTexts(2).mid(0, 3), QStringList({"R", "0xff", "0x09"}));
  QCOMPARE(fixture.rowTexts(3).mid(0, 2), QStringList({"R", "0x80"}));
  QCOMPARE(fixture.rowTexts(4),
           QStringList({"R", "0x07", "0xaa", "0xbb", "", "", "", "", ""}));
}

// Delivered straight to the handler, as a platform would hand over a report
// of no bytes; a failed report is dropped too.
void ReadingTest::emptyOrFailedInterruptReportIsDropped() {
  std::array<uint8_t, 8> buffer = {0x0c, 0x01, 0x02};
  reportHandlerCallback(buffer.data(), hid::kSuccess, gWindowController,
                        nullptr, 0);
  reportHandlerCallback(buffer.data(), hid::kErrorIO, gWindowController,
                        nullptr, 3);
  reportHandlerCallback(buffer.data(), hid::kSuccess, nullptr, nullptr, 3);
  QCOMPARE(fixture.log()->count(), 0);
  reportHandlerCallback(buffer.data(), hid::kSuccess, gWindowController,
                        nullptr, 3);
  const ReportRecord infrared{"R", 12, QByteArray::fromHex("0102"), ""};
  QCOMPARE(records(), QList<ReportRecord>{infrared});
}

void ReadingTest::reArmingDeliversOnceWithOneBuffer() {
  fixture.chooseInterface(1);
  fixture.click("readButton");
  const size_t buffers = InterruptReportBuffers::shared().count();
  QVERIFY(buffers >= 1);
  for (int press = 0; press < 4; ++press)
    fixture.click("readButton");
  QCOMPARE(InterruptReportBuffers::shared().count(), buffers);
  sendInterruptReport({0x05, 1, 2, 3, 4, 5, 6, 7});
  QTRY_COMPARE(fixture.log()->count(), 1);
  QTest::qWait(100);
  QCOMPARE(fixture.log()->count(), 1);
}

// A device change hands out new handles, which are not armed. Buffers are
// kept only for handles still listed (a new handle may take a freed one's
// address, and with it its buffer).
void ReadingTest::deviceChangeDisarmsUntilReadAgain() {
  fixture.chooseInterface(1);
  fixture.click("readButton");
  fixture.backend().attach(Model::PinworthB, "2000");
  QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
  QVERIFY(InterruptReportBuffers::shared().count() <= 4);
  QCOMPARE(fixture.backend().handles(deviceA, 1).front().destroyed, true);
  sendInterruptReport({0x05, 1, 2, 3, 4, 5, 6, 7});
  QTest::qWait(100);
  QCOMPARE(fixture.log()->count(), 0);

  fixture.chooseInterface(1);
  fixture.click("readButton");
  sendInterruptReport({0x05, 1, 2, 3, 4, 5, 6, 7});
  QTRY_COMPARE(fixture.log()->count(), 1);

  for (int change = 0; change < 5; ++change) {
    const DeviceID other = fixture.backend().attach(Model::PinworthB, "3000");
    QTRY_COMPARE(fixture.interfacePopup()->count(), 6);
    fixture.chooseInterface(1);
    fixture.click("readButton");
    fixture.backend().detach(other);
    QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
    fixture.chooseInterface(1);
    fixture.click("readButton");
  }
  QVERIFY(InterruptReportBuffers::shared().count() <= 4);
  sendInterruptReport({0x05, 1, 2, 3, 4, 5, 6, 7});
  QTRY_COMPARE(fixture.log()->count(), 2);
}

void ReadingTest::interruptReportReplacesLastValueRead() {
  fixture.chooseInterface(1);
  fixture.click("readButton");
  fixture.chooseInterface(0);
  fixture.click("readButton");
  QTRY_VERIFY(polls() >= 3);
  QCOMPARE(fixture.log()->count(), 1);

  sendInterruptReport({0x06, 1, 2, 3, 4, 5, 6, 7});
  QTRY_COMPARE(fixture.log()->count(), 3);
  const int pollsAfter = polls();
  QTRY_VERIFY(polls() >= pollsAfter + 3);
  QCOMPARE(records(), QList<ReportRecord>(
                          {polled(kAllHigh),
                           {"R", 6, QByteArray::fromHex("01020304050607"), ""},
                           polled(kAllHigh)}));
  fixture.click("readButton");
}

void ReadingTest::interruptReportsWaitWhileAnAlertIsUp() {
  fixture.chooseInterface(1);
  fixture.click("readButton");
  fixture.byteField(0)->setText("zz");
  int rowsWhileUp = -1;
  AlertAnswerer answerer([this, &rowsWhileUp](QMessageBox *) {
    sendInterruptReport({0x05, 1, 2, 3, 4, 5, 6, 7});
    QTest::qWait(150);
    rowsWhileUp = fixture.log()->count();
  });
  fixture.click("writeButton");
  QCOMPARE(answerer.alerts().size(), 1);
  QCOMPARE(rowsWhileUp, 0);
  QTRY_COMPARE(fixture.log()->count(), 1);
}

// The handle stays armed in the library's list after its controller is gone;
// its reports must neither reach the old controller nor write into freed
// memory.
void ReadingTest::reportForAControllerThatIsGoneIsDropped() {
  fixture.chooseInterface(1);
  fixture.click("readButton");
  fixture.close();
  QCOMPARE(gWindowController, nullptr);
  sendInterruptReport({0x05, 1, 2, 3, 4, 5, 6, 7});
  QTest::qWait(50);
}

QTEST_MAIN(ReadingTest)
#include "tst_reading.moc"
