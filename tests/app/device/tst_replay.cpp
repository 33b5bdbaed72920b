// Replaying the W rows of the log to the window's target, through the real
// window over simulated devices.
#include "app/PinworthWindowController.h"
#include "app/capture/CaptureSessions.h"
#include "app/capture/CaptureWindow.h"
#include "app/log/LogView.h"
#include "core/runs/SequenceRunner.h"
#include "tests/app/ExplorerFixture.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

class ReplayTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  hid::sim::DeviceID deviceA = 0;

  const Wire &received(hid::sim::DeviceID device) {
    return fixture.backend().received(device, 1);
  }
  QDialog *panel() const {
    return fixture.window()->findChild<QDialog *>("replayPanel");
  }
  QString text(const char *label) const {
    return panel()->findChild<QLabel *>(label)->text();
  }
  void click(const char *button) {
    QTest::mouseClick(panel()->findChild<QPushButton *>(button),
                      Qt::LeftButton);
  }
  // Writes reports 05 01 <n> for n from first, with the form.
  void writeReports(int first, int count) {
    for (int n = first; n < first + count; ++n) {
      fixture.setFormTexts("05", {"01", QString::number(n, 16)});
      fixture.click("writeButton");
    }
  }
  static void triggerReplay(QWidget *logTable) {
    for (QAction *action : logTable->actions())
      if (action->text().startsWith("&Replay"))
        action->trigger();
  }
  // Chooses the replay of every row of the log, with timing (its index in
  // the panel's popup).
  void replayAll(int timing) {
    fixture.flushLog();
    fixture.logTable()->selectAll();
    triggerReplay(fixture.logTable());
    QVERIFY(panel()->isVisible());
    panel()
        ->findChild<QComboBox *>("replayTimingPopup")
        ->setCurrentIndex(timing);
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() {
    deviceA = fixture.startWithPinworthA();
    fixture.chooseInterface(1);
  }
  void cleanup() { fixture.cleanup(); }

  // Only the W rows go out, once and in order, to the target the panel
  // names; each is logged as a write.
  void replaysTheWrittenRowsInOrder() {
    fixture.click("readButton"); // listening: the report read is logged
    writeReports(0x80, 2);
    fixture.backend().sendInputReport(deviceA, 1, {0x0c, 0x00, 0x16});
    QTRY_VERIFY(fixture.records().last().direction == core::kReportDirectionIn);
    fixture.click("readButton");
    writeReports(0x82, 1);
    const Wire before = received(deviceA);
    QCOMPARE(before.size(), 3u);

    replayAll(2);
    QCOMPARE(text("replayQuestionLabel"),
             "Replay 3 written reports to PinworthA (SN 1000) Interface 1?");
    QVERIFY(panel()->findChild<QLabel *>("replayModelLabel")->isHidden());
    click("startReplayButton");
    QTRY_COMPARE(text("replayProgressLabel"), "Done: all 3 reports sent.");
    QCOMPARE(Wire(received(deviceA).begin() + 3, received(deviceA).end()),
             before);
    int written = 0;
    for (const core::ReportRecord &record : fixture.records())
      written += record.direction == core::kReportDirectionOut;
    QCOMPARE(written, 6);

    panel()->close();
    fixture.clickLogRow(1);
    triggerReplay(fixture.logTable());
    QCOMPARE(text("replayQuestionLabel"),
             "Replay 1 written report to PinworthA (SN 1000) Interface 1?");
  }

  // At a fixed interval, Pause holds the replay and Resume goes on; Stop
  // ends it, and nothing goes out after.
  void pauseResumeAndStop() {
    writeReports(0, 10);
    replayAll(1);
    panel()->findChild<QSpinBox *>("replayIntervalBox")->setValue(40);
    click("startReplayButton");
    QTRY_VERIFY(received(deviceA).size() >= 12);
    click("pauseReplayButton");
    const size_t paused = received(deviceA).size();
    QVERIFY2(text("replayProgressLabel").startsWith("Paused: "),
             qPrintable(text("replayProgressLabel")));
    QTest::qWait(150);
    QCOMPARE(received(deviceA).size(), paused);
    click("pauseReplayButton");
    QTRY_VERIFY(received(deviceA).size() > paused);
    click("stopReplayButton");
    fixture.waitForDevice(fixture.controller());
    const size_t stopped = received(deviceA).size();
    QTest::qWait(100);
    QCOMPARE(received(deviceA).size(), stopped);
    QVERIFY(stopped < 20);
    QCOMPARE(
        text("replayProgressLabel"),
        QStringLiteral("Stopped: %1 of 10 reports sent.").arg(stopped - 10));
  }

  // The first report the device does not take ends the replay, naming its
  // row and the reason. Rows written to the other model are said so, and a
  // target changed since the panel named it is named again before anything
  // goes out.
  void failureModelAndTarget() {
    writeReports(0, 3);
    QCOMPARE(fixture.log()->reportCount(), 3);
    replayAll(2);
    auto *runner = panel()->findChild<core::SequenceRunner *>();
    connect(runner, &core::SequenceRunner::stepSent, this, [&](int, int step) {
      if (step == 0)
        fixture.backend().faults(deviceA, 1).nextWriteStatus = hid::kErrorIO;
    });
    {
      AlertAnswerer answerer;
      click("startReplayButton");
      QTRY_VERIFY(!runner->isRunning());
      QCOMPARE(answerer.shown().size(), 1);
    }
    QCOMPARE(text("replayProgressLabel"),
             "Stopped at row 2: the write failed. 1 of 3 reports sent.");
    disconnect(runner, nullptr, this, nullptr);

    const hid::sim::DeviceID deviceB =
        fixture.backend().attach(hid::sim::Model::PinworthB, "2000");
    QTRY_COMPARE(fixture.interfacePopup()->count(), 4);
    fixture.chooseInterface(3);
    replayAll(2);
    QCOMPARE(text("replayQuestionLabel"),
             "Replay 4 written reports to PinworthB (SN 2000) Interface 1?");
    QVERIFY(panel()->findChild<QLabel *>("replayModelLabel")->isVisible());
    QCOMPARE(text("replayModelLabel"), "They were written to a PinworthA; "
                                       "they go to this PinworthB all the "
                                       "same.");
    fixture.chooseInterface(1);
    const size_t sentToA = received(deviceA).size();
    click("startReplayButton");
    QCOMPARE(text("replayProgressLabel"),
             "The window's target changed: press Start to replay to "
             "PinworthA (SN 1000) Interface 1.");
    QCOMPARE(text("replayQuestionLabel"),
             "Replay 4 written reports to PinworthA (SN 1000) Interface 1?");
    QCOMPARE(received(deviceA).size(), sentToA);
    QCOMPARE(received(deviceB).size(), 0u);
  }

  // A capture's window hands its selected W rows to the explorer window's
  // panel, which names the capture in its question and at the row that
  // failed; the rows' own numbers are the capture's. Without a W row
  // selected, the capture's window says so.
  void replaysTheRowsOfACapture() {
    fixture.click("readButton"); // listening: the report read is logged
    writeReports(0x10, 1);
    fixture.backend().sendInputReport(deviceA, 1, {0x0c, 0x00, 0x16});
    QTRY_VERIFY(fixture.records().last().direction == core::kReportDirectionIn);
    writeReports(0x11, 3);
    fixture.flushLog();
    const QString path = fixture.homePath() + "/bench.pwcap";
    QString reason;
    QVERIFY2(
        fixture.process().captures().saveTo(fixture.window(), path, &reason),
        qPrintable(reason));
    const Wire before = received(deviceA);
    explorer::CaptureWindow *opened =
        fixture.process().captures().open(path, fixture.window());
    QVERIFY(opened);
    auto *table = opened->findChild<explorer::LogView *>("logTable");
    {
      AlertAnswerer answerer;
      int read = 0; // the report read
      while (opened->log()->record(read).direction != core::kReportDirectionIn)
        ++read;
      table->selectionModel()->select(
          opened->log()->index(opened->log()->rowOfReport(read), 0),
          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      triggerReplay(table);
      QCOMPARE(answerer.shown().size(), 1);
      QVERIFY(answerer.shown()[0].startsWith("Nothing to replay"));
      QVERIFY(!panel() || !panel()->isVisible());
    }
    // From the log's context menu, as a user chooses it.
    table->selectAll();
    bool chosen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      if (auto *menu =
              qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
        for (QAction *action : menu->actions())
          if (action->text() == "&Replay Selection to Device…") {
            chosen = true;
            action->trigger();
          }
        menu->close();
      }
    });
    poll.start(10);
    const QPoint at = table->viewport()->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at,
                            table->viewport()->mapToGlobal(at));
    QApplication::sendEvent(table->viewport(), &event);
    QVERIFY(chosen);
    QVERIFY(panel()->isVisible());
    QCOMPARE(text("replayQuestionLabel"),
             "Replay 4 written reports of bench.pwcap to PinworthA (SN 1000) "
             "Interface 1?");
    panel()->findChild<QComboBox *>("replayTimingPopup")->setCurrentIndex(2);
    auto *runner = panel()->findChild<core::SequenceRunner *>();
    connect(runner, &core::SequenceRunner::stepSent, this, [&](int, int step) {
      if (step == 1)
        fixture.backend().faults(deviceA, 1).nextWriteStatus = hid::kErrorIO;
    });
    {
      AlertAnswerer answerer;
      click("startReplayButton");
      QTRY_VERIFY(!runner->isRunning());
    }
    disconnect(runner, nullptr, this, nullptr);
    // The third W row of the capture is the one that failed.
    int third = -1;
    for (int i = 0, seen = 0; seen < 3; ++i)
      if (opened->log()->record(i).direction == core::kReportDirectionOut &&
          ++seen)
        third = i;
    QCOMPARE(text("replayProgressLabel"),
             QStringLiteral("Stopped at row %1 of bench.pwcap: the write "
                            "failed. 2 of 4 reports sent.")
                 .arg(third + 1));
    QCOMPARE(Wire(received(deviceA).begin() + 4, received(deviceA).end()),
             Wire(before.begin(), before.begin() + 2));
    opened->close();
  }

  // A capture's rows go to the replay panel of the explorer window activated
  // last, and to no other.
  void aCapturesRowsGoToTheWindowActivatedLast() {
    writeReports(0x20, 2);
    fixture.flushLog();
    const QString path = fixture.homePath() + "/two.pwcap";
    QString reason;
    QVERIFY2(
        fixture.process().captures().saveTo(fixture.window(), path, &reason),
        qPrintable(reason));
    explorer::CaptureWindow *opened =
        fixture.process().captures().open(path, fixture.window());
    QVERIFY(opened);
    auto *table = opened->findChild<explorer::LogView *>("logTable");
    explorer::PinworthWindowController *second = fixture.newWindow();
    const auto panelOf = [](explorer::PinworthWindowController *controller) {
      return controller->mainWindow()->findChild<QDialog *>("replayPanel");
    };
    for (explorer::PinworthWindowController *last :
         {second, fixture.controller()}) {
      last->mainWindow()->activateWindow();
      QTRY_COMPARE(explorer::gWindowController, last);
      table->selectAll();
      triggerReplay(table);
      explorer::PinworthWindowController *other =
          last == second ? fixture.controller() : second;
      QTRY_VERIFY(panelOf(last)->isVisible());
      QVERIFY(!panelOf(other)->isVisible());
      panelOf(last)->reject();
    }
    opened->close();
    second->mainWindow()->close();
  }
};

QTEST_MAIN(ReplayTest)
#include "tst_replay.moc"
