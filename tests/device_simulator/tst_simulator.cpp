// The Device Simulator window beside the explorer's window, both over the
// same simulated backend: what the explorer does shows in the simulator, and
// what the simulator does reaches the explorer as a device's doing would.
#include "device_simulator/DevicesPanel.h"
#include "device_simulator/FaultsPanel.h"
#include "device_simulator/InterfaceOnePanel.h"
#include "device_simulator/LcdView.h"
#include "device_simulator/PinsPanel.h"
#include "device_simulator/SimulatorWindow.h"
#include "device_simulator/StressPanel.h"
#include "tests/app/ExplorerFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <memory>

using hid::sim::DeviceID;
using Fault = FaultsPanel::Fault;

Q_DECLARE_METATYPE(FaultsPanel::Fault)

class SimulatorTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  std::unique_ptr<SimulatorWindow> simulator;
  DeviceID deviceA = 0;

  QWidget *key(const char *label) {
    return simulator->findChild<QWidget *>(QStringLiteral("key") + label);
  }
  void writeMacros(std::initializer_list<int> macros) {
    for (int macro : macros) {
      fixture.chooseMacro(macro);
      fixture.click("writeButton");
    }
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() {
    deviceA = fixture.startWithPinworthA();
    simulator = std::make_unique<SimulatorWindow>(fixture.backend());
    simulator->show();
    QVERIFY(QTest::qWaitForWindowExposed(simulator.get()));
  }
  // Each test starts with its PinworthA the only device listed.
  void cleanup() {
    simulator.reset();
    fixture.cleanup();
    for (const auto &device : fixture.backend().devices())
      fixture.backend().remove(device.id);
  }

  // The first four default macros: LCD mode on, the display on with a
  // blinking cursor, "Test" written, the cursor back home. The simulator
  // shows each change as the write returns; the fifth reads "Test" back
  // into the log.
  void defaultMacrosShowTestOnTheLcd() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    writeMacros({0, 1, 2, 3});
    const LcdView *lcd = simulator->interfaceOne()->lcd();
    QCOMPARE(lcd->text(0), "Test            ");
    QCOMPARE(lcd->text(1), QString(16, ' '));
    QCOMPARE(lcd->cursor(), (hid::sim::HD44780::Position{0, 0}));
    QVERIFY(lcd->cursorBlock());
    QCOMPARE(simulator->findChild<QLabel *>("lcdModeLabel")->text(),
             "LCD mode: on");
    writeMacros({4});
    QTRY_COMPARE(fixture.records().size(), 6);
    QCOMPARE(fixture.records().last(),
             (ReportRecord{"R", 6, QByteArray::fromHex("84546573740000"), ""}));
  }

  // Polling logs the changed levels once, duplicates ignored; the pin shows
  // its latch high and its level low.
  void pullingPin5LowWhilePollingLogsTheChangeOnce() {
    fixture.click("readButton");
    QToolButton *pin5 = simulator->pins()->pinButton(5);
    QCOMPARE(pin5->text(), "5\nH/H");
    QTest::mouseClick(pin5, Qt::LeftButton);
    QCOMPARE(pin5->text(), "5\nH/L");
    QTRY_COMPARE(fixture.records().size(), 2);
    QTest::qWait(200); // four more polls
    QCOMPARE(fixture.records(),
             QList<ReportRecord>(
                 {{"R", kNoReportID, QByteArray::fromHex("ffffffff"), ""},
                  {"R", kNoReportID, QByteArray::fromHex("dfffffff"), ""}}));
  }

  // A key is heard only while infrared reception is on.
  void remoteKeyWithInfraredOnIsLogged() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    simulator->findChild<QLineEdit *>("remoteAddressField")->setText("2a");
    QTest::mouseClick(key("OK"), Qt::LeftButton);
    writeMacros({5});
    QCOMPARE(simulator->findChild<QLabel *>("infraredLabel")->text(),
             "Infrared reception: on");
    QTest::mouseClick(key("OK"), Qt::LeftButton);
    const ReportRecord key{"R", 0x0C, QByteArray::fromHex("2a140000000000"),
                           ""};
    QTRY_COMPARE(fixture.records().size(), 2);
    QCOMPARE(fixture.records().last(), key);
  }

  // The explorer's menu follows as for a real plug; a device plugged back
  // is at power-up.
  void unplugAndPlugBackRebuildTheExplorersMenu() {
    const QStringList interfaces =
        ExplorerFixture::titles(fixture.interfacePopup());
    QCOMPARE(interfaces.size(), 2);
    fixture.chooseInterface(1);
    writeMacros({0});
    auto *lcdMode = simulator->findChild<QLabel *>("lcdModeLabel");
    QCOMPARE(lcdMode->text(), "LCD mode: on");
    DevicesPanel *devices = simulator->devices();
    QTest::mouseClick(devices->button("unplugButton"), Qt::LeftButton);
    QTRY_COMPARE(fixture.interfacePopup()->count(), 0);
    QCOMPARE(devices->list()->item(0)->text(),
             "PinworthA (SN 1000) - unplugged");
    QTest::mouseClick(devices->button("plugBackButton"), Qt::LeftButton);
    QTRY_COMPARE(ExplorerFixture::titles(fixture.interfacePopup()), interfaces);
    QCOMPARE(devices->list()->item(0)->text(),
             "PinworthA (SN 1000) - plugged in");
    QCOMPARE(lcdMode->text(), "LCD mode: off");
  }

  void faultToggleGivesTheExplorersAlert_data() {
    QTest::addColumn<int>("interfaceNumber");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("alert");
    QTest::newRow("stall") << 0 << FaultsPanel::Stall << false
                           << ExplorerFixture::transferAlert(
                                  "write to",
                                  "timed out: the device did not answer");
    QTest::newRow("fail next write")
        << 1 << FaultsPanel::FailNextWrite << false
        << ExplorerFixture::transferAlert("write to", "input/output error");
    QTest::newRow("fail next read")
        << 0 << FaultsPanel::FailNextRead << true
        << ExplorerFixture::transferAlert("read from", "input/output error");
    QTest::newRow("refuse to open")
        << 0 << FaultsPanel::RefuseOpen << false
        << ExplorerFixture::transferAlert(
               "write to",
               "permission denied: install the Pinworth udev rule (see "
               "README) and plug the device in again");
  }

  // The box stays checked while the fault is active: a one-shot fault
  // clears once used, the others stay.
  void faultToggleGivesTheExplorersAlert() {
    QFETCH(int, interfaceNumber);
    QFETCH(Fault, fault);
    QFETCH(bool, read);
    QFETCH(QString, alert);
    QCheckBox *box = simulator->faults()->checkBox(interfaceNumber, fault);
    box->click();
    QVERIFY(box->isChecked());
    fixture.chooseInterface(interfaceNumber);
    AlertAnswerer answerer;
    fixture.click(read ? "readButton" : "writeButton");
    QTRY_COMPARE(answerer.shown(), QStringList{alert});
    const bool oneShot = fault == FaultsPanel::FailNextWrite ||
                         fault == FaultsPanel::FailNextRead;
    QCOMPARE(box->isChecked(), !oneShot);
    QCOMPARE(fixture.records().size(), 0);
  }

  // Every report sent reaches the explorer, or is counted dropped by the
  // kernel's queue.
  void generatorSendsExactlyTheCountAsked() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    StressPanel *stress = simulator->stress();
    // Fast enough that a wake-up finds several reports due.
    stress->rateBox()->setValue(20000);
    stress->countBox()->setValue(999);
    QTest::mouseClick(stress->startButton(), Qt::LeftButton);
    QCOMPARE(stress->startButton()->text(), "Stop");
    QTRY_COMPARE(stress->sentLabel()->text(), "999 sent");
    QCOMPARE(stress->startButton()->text(), "Start");
    fixture.backend().waitForKernelQueues();
    const uint64_t dropped = fixture.backend().kernelDropped(deviceA, 1);
    QTRY_COMPARE(uint64_t(fixture.records().size()) + dropped, 999u);
    QTest::qWait(100);
    QCOMPARE(uint64_t(fixture.records().size()) + dropped, 999u);
  }
};

QTEST_MAIN(SimulatorTest)
#include "tst_simulator.moc"
