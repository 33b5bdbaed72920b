// Reading: polling an interface 0 twenty times a second with duplicate
// suppression, stopping and restarting, failed polls, and the interrupt
// reports of an armed interface 1, each at the time it was read.
#include "tests/app/ExplorerFixture.h"

#include "app/framework/ModalDialog.h"
#include "runloop/DefaultMode.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <thread>
#include <vector>

using hid::sim::DeviceID;
using hid::sim::Model;
using Faults = std::function<void(hid::sim::InterfaceFaults &)>;
Q_DECLARE_METATYPE(Faults)

namespace {

const std::vector<uint8_t> kReport5 = {0x05, 1, 2, 3, 4, 5, 6, 7};

core::ReportRecord polled(const char *hex) {
  return core::ReportRecord{"R", core::kNoReportID, QByteArray::fromHex(hex),
                            ""};
}

} // namespace

class ReadingTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  DeviceID deviceA = 0;

  // Polls so far of the device's interface 0: each one opens a handle.
  int polls() {
    int opens = 0;
    for (const auto &handle : fixture.backend().handleHistories(deviceA, 0))
      opens += handle.opens;
    return opens;
  }
  void waitForPolls(int n) {
    const int target = polls() + n;
    QTRY_VERIFY(polls() >= target);
  }
  bool isIdle() {
    return fixture.widget("readButton")->text() == "Read" &&
           !fixture.controller()->reading().isPolling();
  }
  void sendInterruptReport(const std::vector<uint8_t> &report) {
    fixture.backend().sendInputReport(deviceA, 1, report);
  }
  int logged() { return int(fixture.records().size()); }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() { deviceA = fixture.startWithPinworthA(); }
  void cleanup() { fixture.cleanup(); }

  // The first poll runs at once. Unchecked, every poll is logged, so the log
  // counts polls: ten periods take 10 x 50 ms, less 10 % for a coarse timer.
  void pollsTwentyTimesASecondAsTheCheckboxSays() {
    auto *checkBox = fixture.widget<QCheckBox>("ignoreDuplicatesCheckBox");
    QVERIFY(checkBox->isChecked());
    QElapsedTimer elapsed;
    elapsed.start();
    fixture.click("readButton");
    QCOMPARE(fixture.records(), QList<core::ReportRecord>{polled("ffffffff")});
    QCOMPARE(fixture.widget("readButton")->text(), "Stop Reading");
    waitForPolls(3);
    QCOMPARE(logged(), 1);
    checkBox->click();
    const int unlogged = polls() - logged();
    QTRY_VERIFY_WITH_TIMEOUT(polls() >= 11, 5000);
    QVERIFY2(elapsed.elapsed() >= 450,
             qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(polls() - logged(), unlogged);
  }

  // A, A, B, A is logged as A, B, A: a report is compared only with the last
  // one logged. After a stop, a restart logs its first poll even when it
  // equals the last one logged.
  void dropsReportsEqualToTheLastLoggedUntilStopped() {
    fixture.click("readButton");
    waitForPolls(3);
    fixture.backend().setPinPulledLow(deviceA, 0, true);
    QTRY_COMPARE(logged(), 2);
    waitForPolls(3);
    fixture.backend().setPinPulledLow(deviceA, 0, false);
    QTRY_COMPARE(logged(), 3);
    waitForPolls(3);
    fixture.click("readButton");
    QVERIFY(isIdle());
    const int pollsWhenStopped = polls();
    QTest::qWait(150);
    QCOMPARE(polls(), pollsWhenStopped);
    fixture.click("readButton");
    QCOMPARE(fixture.records(), QList<core::ReportRecord>(
                                    {polled("ffffffff"), polled("feffffff"),
                                     polled("ffffffff"), polled("ffffffff")}));
  }

  void failingPollShowsOneAlertAndStops_data() {
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<int>("goodPolls");
    QTest::addColumn<QString>("reason");
    const Faults ioError = [](auto &f) { f.nextReadStatus = hid::kErrorIO; };
    QTest::newRow("first poll") << ioError << 0 << "input/output error";
    QTest::newRow("later poll") << ioError << 3 << "input/output error";
    QTest::newRow("device stops answering")
        << Faults([](auto &f) { f.stalled = true; }) << 0
        << "timed out: the device did not answer";
  }

  // No tick runs while the alert is up, and reading is idle after it. A
  // stalled poll blocks for about the transfer's timeout (a loose bound).
  void failingPollShowsOneAlertAndStops() {
    QFETCH(Faults, faults);
    QFETCH(int, goodPolls);
    QFETCH(QString, reason);
    int pollsWhileUp = -1;
    QElapsedTimer elapsed;
    qint64 blockedMS = -1;
    AlertAnswerer answerer([&](QMessageBox *) {
      blockedMS = elapsed.elapsed();
      const int pollsAtAlert = polls();
      QTest::qWait(200);
      pollsWhileUp = polls() - pollsAtAlert;
    });
    if (goodPolls == 0)
      faults(fixture.backend().faults(deviceA, 0));
    elapsed.start();
    fixture.click("readButton");
    if (goodPolls) {
      waitForPolls(goodPolls);
      faults(fixture.backend().faults(deviceA, 0));
    }
    QTRY_COMPARE(answerer.shown(), QStringList{ExplorerFixture::transferAlert(
                                       "read from", reason)});
    QCOMPARE(pollsWhileUp, 0);
    QTRY_VERIFY(isIdle());
    const int pollsAfter = polls();
    QTest::qWait(150);
    QCOMPARE(polls(), pollsAfter);
    QCOMPARE(answerer.shown().size(), 1);
    if (goodPolls == 0)
      QVERIFY2(blockedMS < 300, qPrintable(QString::number(blockedMS)));
  }

  // Polls and listening go on while a dialog is up, each report logged
  // under it. A poll that fails there ends polling at once, with its row;
  // its alert waits until the dialog has closed.
  void readingGoesOnUnderADialog() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    fixture.chooseInterface(0);
    fixture.click("readButton");
    QTRY_COMPARE(logged(), 1);
    QDialog dialog(fixture.controller()->mainWindow());
    QWidget *modalAfterFailure = nullptr;
    QTimer::singleShot(0, &dialog, [&] {
      // An interrupt report replaces the last value read: the next poll is
      // logged, too (one after each report when polls come between them).
      for (int n = 0; n < 3; ++n)
        sendInterruptReport(kReport5);
      QTRY_VERIFY(logged() >= 5);
      QTest::qWait(150); // the poll after the last report, on a slow machine
      const int logged0 = logged();
      QVERIFY2(logged0 <= 7, qPrintable(QString::number(logged0)));
      fixture.backend().setPinPulledLow(deviceA, 0, true);
      QTRY_COMPARE(logged(), logged0 + 1);
      fixture.backend().faults(deviceA, 0).nextReadStatus = hid::kErrorIO;
      QTRY_VERIFY(!fixture.controller()->reading().isPolling());
      QTest::qWait(100);
      modalAfterFailure = QApplication::activeModalWidget();
      dialog.reject();
    });
    AlertAnswerer answerer;
    explorer::RunModal(dialog);
    QCOMPARE(modalAfterFailure, &dialog);
    QVERIFY(answerer.shown().isEmpty());
    QTRY_COMPARE(answerer.shown(), QStringList{ExplorerFixture::transferAlert(
                                       "read from", "input/output error")});
    fixture.flushLog();
    const explorer::LogTableModel *log = fixture.controller()->logModel();
    QCOMPARE(log->cellText(log->rowCount() - 1,
                           explorer::LogTableModel::kDecodedColumn),
             "stopped polling: PinworthA (SN 1000) Interface 0");
    QVERIFY(isIdle());
  }

  // Reading belongs to its interface, not to the selection: with interface
  // 0 polled, interface 1 chosen offers Read (the button and Interface >
  // Read alike), which listens beside the polling; the status names each;
  // Read on interface 0 again stops its polling only.
  void eachInterfaceIsReadOnItsOwn() {
    fixture.click("readButton");
    QTRY_COMPARE(logged(), 1);
    fixture.chooseInterface(1);
    auto *read = fixture.widget<QPushButton>("readButton");
    auto *readAction = fixture.widget<QAction>("readAction");
    QCOMPARE(read->text(), "Read");
    QCOMPARE(readAction->text(), "&Read");
    readAction->trigger();
    QCOMPARE(read->text(), "Stop Reading");
    QCOMPARE(readAction->text(), "Stop &Reading");
    QVERIFY(fixture.controller()->reading().isPolling());
    sendInterruptReport(kReport5);
    fixture.backend().setPinPulledLow(deviceA, 0, true);
    QTRY_COMPARE(logged(), 3);
    auto *activity = fixture.window()->findChild<QLabel *>("activityLabel");
    const QRegularExpression both(
        "^Polling PinworthA \\(SN 1000\\) Interface 0 - [0-9]+/s; "
        "Listening on PinworthA \\(SN 1000\\) Interface 1 - 1 reports$");
    QTRY_VERIFY2(both.match(activity->text()).hasMatch(),
                 qPrintable(activity->text()));

    fixture.chooseInterface(0);
    QCOMPARE(read->text(), "Stop Reading");
    fixture.click("readButton");
    QVERIFY(!fixture.controller()->reading().isPolling());
    QCOMPARE(fixture.controller()->reading().listening().size(), 1);
    QCOMPARE(read->text(), "Read");
    sendInterruptReport(kReport5);
    QTRY_COMPARE(logged(), 4);
  }

  // Report ID 255 stays 255, equal reports are all logged, a short report
  // keeps its length; an empty report is dropped.
  void armedInterfaceLogsEveryInterruptReport() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    QVERIFY(!fixture.controller()->reading().isPolling());
    QCOMPARE(fixture.widget("readButton")->text(), "Stop Reading");
    sendInterruptReport(kReport5);
    sendInterruptReport(kReport5);
    sendInterruptReport({0xff, 9, 8, 7, 6, 5, 4, 3});
    sendInterruptReport({0x07, 0xaa, 0xbb});
    sendInterruptReport({});
    QTRY_COMPARE(logged(), 4);
    const QByteArray oneToSeven = QByteArray::fromHex("01020304050607");
    QCOMPARE(fixture.records(),
             QList<core::ReportRecord>(
                 {{"R", 5, oneToSeven, ""},
                  {"R", 5, oneToSeven, ""},
                  {"R", 255, QByteArray::fromHex("09080706050403"), ""},
                  {"R", 7, QByteArray::fromHex("aabb"), ""}}));
  }

  // A report's time in the log is the time it was read, not the time the
  // window took it: with the main thread held for 200 ms while the device
  // sends every 20 ms, the rows keep the device's spacing.
  void reportsAreLoggedAtTheTimeTheyWereRead() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    std::thread device([this] {
      for (uint8_t n = 0; n < 8; ++n) {
        sendInterruptReport({0x0c, n, 0x16});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    device.join();
    QTRY_COMPARE(logged(), 8);
    fixture.flushLog();
    explorer::LogTableModel *log = fixture.log();
    const int first = log->rowCount() - 8;
    for (int row = first + 1; row < log->rowCount(); ++row) {
      const int64_t gap = log->time(row) - log->time(row - 1);
      QVERIFY2(gap > 15'000 && gap < 40'000,
               qPrintable(QString("%1 us between rows").arg(gap)));
    }
  }

  // The Interface menu's stops end one reading each, the one chosen only;
  // Stop All Reading (Ctrl+Shift+R, and in the activity text's context
  // menu) ends the rest.
  void stopMenusStopWhatTheyName() {
    const DeviceID b = fixture.backend().attach(Model::PinworthB, "2000");
    QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
    for (const int position : {3, 1, 0}) {
      fixture.chooseInterface(position);
      fixture.click("readButton");
    }
    // The three are named in the activity text, whole.
    auto *activity = fixture.window()->findChild<QLabel *>("activityLabel");
    QCOMPARE(activity->text().count("; "), 2);
    QTRY_VERIFY(activity->height() >= QFontMetrics(activity->font())
                                          .boundingRect(activity->rect(),
                                                        Qt::TextWordWrap,
                                                        activity->text())
                                          .height());
    auto *stops = fixture.window()->findChild<QMenu *>("stopReadingMenu");
    emit stops->aboutToShow();
    QStringList titles;
    for (const QAction *action : stops->actions())
      titles << action->text();
    QCOMPARE(titles,
             QStringList({"Stop Polling PinworthA (SN 1000) Interface 0",
                          "Stop Listening on PinworthB (SN 2000) "
                          "Interface 1",
                          "Stop Listening on PinworthA (SN 1000) "
                          "Interface 1"}));
    fixture.chooseInterface(1);
    stops->actions()[0]->trigger();
    QCOMPARE(fixture.widget("readButton")->text(), "Stop Reading");
    stops->actions()[2]->trigger();
    QCOMPARE(fixture.widget("readButton")->text(), "Read");
    const int before = logged();
    sendInterruptReport(kReport5);
    fixture.backend().sendInputReport(b, 1, kReport5);
    QTRY_COMPARE(logged(), before + 1);
    QTest::qWait(50);
    QCOMPARE(logged(), before + 1);
    const int last = fixture.log()->reportCount() - 1;
    QCOMPARE(
        fixture.log()->cellText(last, explorer::LogTableModel::kSourceColumn),
        "B 2000 if1");

    emit activity->customContextMenuRequested({});
    auto *context = activity->findChild<QMenu *>();
    QTRY_VERIFY(context->isVisible());
    QCOMPARE(context->actions().last()->shortcut(),
             QKeySequence("Ctrl+Shift+R"));
    context->close();
    QTest::keyClick(fixture.window(), Qt::Key_R,
                    Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!fixture.controller()->reading().isPolling());
    QVERIFY(fixture.controller()->reading().listening().isEmpty());
    emit stops->aboutToShow();
    QCOMPARE(stops->actions().size(), 1);
    QVERIFY(!stops->actions()[0]->isEnabled());
  }

  // Arming a handle again keeps its one handler. A device change rebuilds
  // the list while reports are on their way: the armed handle is kept, and
  // every report arrives, once.
  void rebuildsKeepTheArmedHandleAndItsReports() {
    fixture.chooseInterface(1);
    for (int press = 0; press < 3; ++press)
      fixture.click("readButton");
    const int searches = fixture.backend().searchCount();
    {
      runloop::ModalScope held; // the rebuild waits; the reports do not
      fixture.backend().attach(Model::PinworthB, "3000");
      QTest::qWait(20);
      for (int n = 0; n < 50; ++n)
        sendInterruptReport(kReport5);
      fixture.backend().waitForKernelQueues();
      QTest::qWait(20);
    }
    QTRY_COMPARE(fixture.backend().searchCount(), searches + 1);
    QTRY_COMPARE(logged(), 50);
    int handlers = 0;
    for (const auto &handle : fixture.backend().handleHistories(deviceA, 1))
      handlers += handle.handlerInstalled;
    QCOMPARE(handlers, 1);
    sendInterruptReport(kReport5);
    QTRY_COMPARE(logged(), 51);
    QTest::qWait(50);
    QCOMPARE(logged(), 51);
  }

  // The library still lists the armed handle after its controller is gone;
  // its reports must neither reach the old controller nor its buffer.
  void reportForAControllerThatIsGoneIsDropped() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    fixture.close();
    sendInterruptReport(kReport5);
    QTest::qWait(50);
  }
};

QTEST_MAIN(ReadingTest)
#include "tst_reading.moc"
