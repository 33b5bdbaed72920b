// The rows selected in the explorer's log played into the Device Simulator:
// the reads of the first device among them come back to the listening
// window in order and at their gaps; the writes and the other device's reads
// are left out; nothing to play and nothing to play into are said so.
#include "app/sim/LogSelectionReplay.h"
#include "device_simulator/CaptureReplayPanel.h"
#include "device_simulator/SimulatorWindow.h"
#include "tests/app/ExplorerFixture.h"

#include <QAction>
#include <QLabel>
#include <QTest>

#include <memory>

class LogSelectionReplayTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  std::unique_ptr<simulator::SimulatorWindow> simulator;
  hid::sim::DeviceID deviceA = 0;

  simulator::CaptureReplayPanel *panel() const { return simulator->replay(); }
  static void triggerReplay(explorer::PinworthWindowController *window) {
    bool found = false;
    for (QAction *action :
         ExplorerFixture::widgetIn<explorer::LogView>(window, "logTable")
             ->actions())
      if (action->text() == "Replay Selection into Si&mulator") {
        found = true;
        action->trigger();
      }
    QVERIFY(found);
  }
  // The key bytes of the interface 1 reports the window read, in order.
  QList<int> keysRead(QList<int64_t> *times = nullptr) const {
    QList<int> keys;
    explorer::LogTableModel &log = *fixture.log();
    for (int i = 0; i < log.reportCount(); ++i) {
      const core::ReportRecord record = log.record(i);
      if (log.isReport(i) && record.direction == core::kReportDirectionIn) {
        keys << uint8_t(record.data[1]);
        if (times)
          *times << log.time(i);
      }
    }
    return keys;
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() {
    deviceA = fixture.startWithPinworthA();
    simulator = std::make_unique<simulator::SimulatorWindow>(fixture.backend());
    explorer::AddLogSelectionReplay(fixture.process(), *simulator);
  }
  void cleanup() {
    simulator.reset();
    fixture.cleanup();
  }

  void readsComeBackInOrderAndOnTime() {
    fixture.chooseInterface(1);
    fixture.click("readButton"); // listening
    for (int n = 1; n <= 5; ++n) {
      fixture.backend().sendInputReport(deviceA, 1,
                                        {0x0C, 0x00, uint8_t(n), 0, 0, 0, 0});
      QTRY_COMPARE(keysRead().size(), n);
      QTest::qWait(40);
      if (n == 3) { // a write among the reads
        fixture.setFormTexts("05", {"01", "02"});
        fixture.click("writeButton");
      }
    }
    fixture.flushLog();
    QList<int64_t> recorded;
    QCOMPARE(keysRead(&recorded), QList<int>({1, 2, 3, 4, 5}));
    fixture.logTable()->selectAll();
    QCOMPARE(panel()->device(), deviceA);
    triggerReplay(fixture.controller());
    QVERIFY(panel()->replay());
    QVERIFY2(panel()->statusLabel()->text().contains(
                 "the log's 5 selected rows (recorded from PinworthA (SN "
                 "1000)) into PinworthA (SN 1000)"),
             qPrintable(panel()->statusLabel()->text()));
    QTRY_VERIFY(!panel()->replay());
    // At the last one's time as the log's Time column gives it.
    const QString at = QString::asprintf(
        "at %.3f s", double(recorded[4] - fixture.log()->time(0)) / 1e6);
    QVERIFY2(panel()->statusLabel()->text().contains(at),
             qPrintable(panel()->statusLabel()->text()));
    fixture.flushLog();
    QList<int64_t> replayed;
    QTRY_COMPARE(keysRead(&replayed),
                 QList<int>({1, 2, 3, 4, 5, 1, 2, 3, 4, 5}));
    for (int n = 1; n < 5; ++n) {
      const int64_t gap = replayed[5 + n] - replayed[5];
      const int64_t was = recorded[n] - recorded[0];
      QVERIFY2(std::abs(gap - was) < 25'000,
               qPrintable(QStringLiteral("%1 against %2").arg(gap).arg(was)));
    }
  }

  // A window opened later has the action too; its selection of a write only
  // is said to hold nothing to play, and with no device shown in the
  // simulator, there is nowhere to play.
  void nothingToPlayOrNowhere() {
    explorer::PinworthWindowController *second = fixture.newWindow();
    fixture.chooseInterface(1);
    fixture.setFormTexts("05", {"01", "02"});
    fixture.click("writeButton");
    fixture.flushLog();
    fixture.logTable()->selectAll();
    {
      AlertAnswerer answerer;
      triggerReplay(fixture.controller());
      QCOMPARE(answerer.shown().size(), 1);
      QVERIFY(answerer.shown()[0].startsWith("Nothing to replay | Select the "
                                             "reports read (R rows)"));
    }
    QVERIFY(!panel()->replay());
    fixture.click("readButton");
    fixture.backend().sendInputReport(deviceA, 1, {0x0C, 0x00, 7});
    QTRY_COMPARE(keysRead(), QList<int>({7}));
    fixture.flushLog();
    fixture.logTable()->selectAll();
    panel()->showDevice(std::nullopt);
    {
      AlertAnswerer answerer;
      triggerReplay(fixture.controller());
      QCOMPARE(answerer.shown().size(), 1);
      QVERIFY2(
          answerer.shown()[0].startsWith("No simulated device to replay into"),
          qPrintable(answerer.shown()[0]));
    }
    QVERIFY(!panel()->replay());
    AlertAnswerer answerer;
    triggerReplay(second);
    QCOMPARE(answerer.shown().size(), 1);
  }
};

QTEST_MAIN(LogSelectionReplayTest)
#include "tst_log_selection_replay.moc"
