// A capture played into a simulated device, through the Device Simulator's
// panel, with the explorer's window listening to and polling the device: it
// reads what the capture recorded, in order and at the recorded gaps, and the
// device's own levels come back when the replay ends.
#include "device_simulator/CaptureReplayPanel.h"
#include "device_simulator/SimulatorWindow.h"
#include "tests/app/ExplorerFixture.h"

#include "capture/CaptureWriter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using hid::sim::DeviceID;

namespace {

struct Recorded {
  int64_t timeUS;
  int interfaceType; // 0, 1: a PinworthA's; 3: a PinworthB's interface 1
  std::vector<uint8_t> bytes; // an interface 1's led by its report ID
};

// A capture of reports read, as the explorer records one.
void WriteCapture(const QString &path, const std::vector<Recorded> &reads) {
  std::string reason;
  auto writer = capture::CaptureWriter::create(path.toStdString(), &reason);
  QVERIFY2(writer, reason.c_str());
  std::map<int, uint16_t> sources;
  for (int type : {0, 1, 3})
    sources[type] =
        writer->addInterface({type, type == 3 ? 2000 : 1000, 0, {}});
  for (const Recorded &read : reads) {
    const bool interface1 = read.interfaceType % 2;
    writer->appendReport(
        false, sources[read.interfaceType], read.timeUS,
        interface1 ? std::optional<uint8_t>(read.bytes[0]) : std::nullopt,
        read.bytes.data() + interface1, int(read.bytes.size()) - interface1);
  }
  QVERIFY(!writer->close().failed);
}

} // namespace

class CaptureReplayTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  std::unique_ptr<simulator::SimulatorWindow> simulator;
  DeviceID deviceA = 0;
  QTemporaryDir folder;

  simulator::CaptureReplayPanel *panel() const { return simulator->replay(); }
  // The reports the explorer read from a source, in the log's order.
  QList<int> readsFrom(const QString &source) const {
    QList<int> reads;
    explorer::LogTableModel &log = *fixture.log();
    for (int i = 0; i < log.reportCount(); ++i)
      if (log.isReport(i) && !log.logRow(i).isOutput() &&
          log.cellText(i, explorer::LogTableModel::kSourceColumn) == source)
        reads << i;
    return reads;
  }
  // Reads on the interface at position, as the user starts them.
  void startReading(int position) {
    fixture.chooseInterface(position);
    fixture.click("readButton");
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() {
    deviceA = fixture.startWithPinworthA();
    simulator = std::make_unique<simulator::SimulatorWindow>(fixture.backend());
  }
  void cleanup() {
    simulator.reset();
    fixture.cleanup();
  }

  // The recorded interface 1 reports of the capture's first device reach the
  // listening explorer once each, in order, at their gaps; the other
  // device's are not played.
  void inputReportsComeAtTheirTimes() {
    std::vector<Recorded> reads;
    for (int n = 1; n <= 10; ++n) {
      reads.push_back({n * 30'000, 1, {0x0C, 0x00, uint8_t(n), 0, 0, 0, 0, 0}});
      if (n == 5)
        reads.push_back({n * 30'000 + 1, 3, {0x0C, 0x00, 0x99, 0, 0, 0, 0, 0}});
    }
    const QString path = folder.filePath("keys.pwcap");
    WriteCapture(path, reads);
    startReading(1);
    QVERIFY(panel()->play(path, deviceA));
    QTRY_VERIFY(!panel()->replay());
    fixture.flushLog();
    QList<int> got;
    QTRY_COMPARE((got = readsFrom("A 1000 if1")).size(), 10);
    explorer::LogTableModel &log = *fixture.log();
    for (int n = 0; n < 10; ++n) {
      QCOMPARE(log.record(got[n]).data[1], char(n + 1));
      // Each gap as recorded, within a tolerance a loaded machine keeps.
      const int64_t gap = log.time(got[n]) - log.time(got[0]);
      QVERIFY2(std::abs(gap - n * 30'000) < 25'000,
               qPrintable(QString::number(gap)));
    }
    QVERIFY(panel()->statusLabel()->text().startsWith(
        "Done: keys.pwcap (recorded from PinworthA (SN 1000)) into "
        "PinworthA (SN 1000). 10 of 10 reports"));
  }

  // Paused and stepped, the polling explorer reads each recorded level in
  // turn, whatever the latches; Stop gives the device its own levels back.
  // Loop plays the capture again, and the speed shortens its gaps.
  void levelsFollowTheStepsAndComeBack() {
    const QString path = folder.filePath("pins.pwcap");
    WriteCapture(path, {{0, 0, {0xFE, 0xFF, 0xFF, 0xFF}},
                        {1'000'000, 0, {0xFC, 0xFF, 0xFF, 0x7F}},
                        {2'000'000, 0, {0xFC, 0xFF, 0xFF, 0xFF}}});
    startReading(0);
    QVERIFY(panel()->play(path, deviceA));
    QTest::mouseClick(panel()->findChild<QPushButton *>("replayPauseButton"),
                      Qt::LeftButton);
    auto *step = panel()->findChild<QPushButton *>("replayStepButton");
    // The first report is due at once: it went out, or goes with a step.
    if (panel()->replay()->progress().sent == 0)
      QTest::mouseClick(step, Qt::LeftButton);
    QTRY_COMPARE(panel()->replay()->progress().sent, size_t(1));
    explorer::LogTableModel &log = *fixture.log();
    const auto lastLevels = [&] {
      fixture.flushLog();
      const QList<int> reads = readsFrom("A 1000 if0");
      return reads.isEmpty() ? QByteArray() : log.record(reads.last()).data;
    };
    QTRY_COMPARE(lastLevels(), QByteArray("\xfe\xff\xff\xff"));
    QTest::mouseClick(step, Qt::LeftButton);
    QTRY_COMPARE(lastLevels(), QByteArray("\xfc\xff\xff\x7f"));
    QTRY_VERIFY(panel()->statusLabel()->text().startsWith("Paused"));
    panel()->stop();
    QTRY_COMPARE(lastLevels(), QByteArray("\xff\xff\xff\xff"));

    panel()->findChild<QCheckBox *>("replayLoopCheckBox")->setChecked(true);
    panel()->findChild<QDoubleSpinBox *>("replaySpeedBox")->setValue(10);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(panel()->play(path, deviceA));
    QTRY_VERIFY(panel()->replay()->progress().passes >= 2);
    // Two passes of a 2 s capture at ×10: at least 400 ms, far from 4 s.
    QVERIFY2(timer.elapsed() >= 380 && timer.elapsed() < 2000,
             qPrintable(QString::number(timer.elapsed())));
    panel()->findChild<QCheckBox *>("replayLoopCheckBox")->setChecked(false);
    QTRY_VERIFY(panel()->statusLabel()->text().startsWith("Done"));
    QTRY_COMPARE(lastLevels(), QByteArray("\xff\xff\xff\xff"));
  }

  // The panel's file dialog, not modal, raises no modal question of its own:
  // a name typed that names no file is said so in the panel, and its files'
  // context menu deletes no file (which it would ask about first).
  void theFileDialogAsksNothing() {
    simulator->show();
    const QString kept = folder.filePath("kept.pwcap");
    WriteCapture(kept, {});
    for (const QString what : {"missing name", "context menu"}) {
      QTRY_VERIFY(!panel()->findChild<QFileDialog *>()); // the last one went
      QTest::mouseClick(panel()->findChild<QPushButton *>("replayOpenButton"),
                        Qt::LeftButton);
      QPointer<QFileDialog> dialog; // it goes when it closes
      QTRY_VERIFY((dialog = panel()->findChild<QFileDialog *>()));
      QTRY_VERIFY(dialog && dialog->isVisible());
      if (what == "missing name") {
        auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
        QVERIFY(name);
        name->setText(folder.filePath("missing.pwcap")); // no completer popup
        QTest::keyClick(name, Qt::Key_Return);
        QTRY_VERIFY(dialog.isNull() || !dialog->isVisible());
        QVERIFY2(panel()->statusLabel()->text().startsWith(
                     "missing.pwcap cannot be played: "),
                 qPrintable(panel()->statusLabel()->text()));
        continue;
      }
      dialog->setDirectory(folder.path());
      dialog->selectFile(kept);
      auto *files = dialog->findChild<QListView *>("listView");
      QVERIFY(files);
      QTRY_VERIFY(files->selectionModel()->hasSelection());
      // Chooses Delete in the menu, as a user would, where it is offered.
      QTimer::singleShot(100, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
          return;
        for (QAction *action : menu->actions())
          if (action->objectName() == "qt_delete_action" && action->isEnabled())
            action->trigger();
        menu->close();
      });
      const QPoint at = files->visualRect(files->currentIndex()).center();
      QContextMenuEvent menu(QContextMenuEvent::Mouse, at,
                             files->viewport()->mapToGlobal(at));
      QApplication::sendEvent(files->viewport(), &menu);
      QVERIFY(!QApplication::activeModalWidget());
      QVERIFY(QFile::exists(kept));
      dialog->reject();
    }
  }
};

QTEST_MAIN(CaptureReplayTest)
#include "tst_capture_replay.moc"
