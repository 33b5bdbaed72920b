// The Device Simulator window beside the explorer's window, both over the
// same simulated backend: what the explorer does shows in the simulator, and
// what the simulator does reaches the explorer as a device's doing would.
#include "device_simulator/DevicesPanel.h"
#include "device_simulator/FaultsPanel.h"
#include "device_simulator/InterfaceOnePanel.h"
#include "device_simulator/LcdView.h"
#include "device_simulator/PinsPanel.h"
#include "device_simulator/SimulatorPlacement.h"
#include "device_simulator/SimulatorWindow.h"
#include "device_simulator/StressPanel.h"
#include "tests/app/ExplorerFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

using hid::sim::DeviceID;
using Fault = simulator::FaultsPanel::Fault;

Q_DECLARE_METATYPE(simulator::FaultsPanel::Fault)

namespace {

// The contrast ratio of two colours from their relative luminance.
double Contrast(const QColor &a, const QColor &b) {
  const auto luminance = [](const QColor &c) {
    const auto linear = [](double v) {
      return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) +
           0.0722 * linear(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

class SimulatorTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  std::unique_ptr<simulator::SimulatorWindow> simulator;
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
    simulator = std::make_unique<simulator::SimulatorWindow>(fixture.backend());
    simulator->show();
    QVERIFY(QTest::qWaitForWindowExposed(simulator.get()));
  }
  // Each test starts with its PinworthA the only device listed.
  void cleanup() {
    simulator.reset();
    fixture.backend().setKernelReaderRest({});
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
    const simulator::LcdView *lcd = simulator->interfaceOne()->lcd();
    QCOMPARE(lcd->text(0), "Test            ");
    QCOMPARE(lcd->text(1), QString(16, ' '));
    QCOMPARE(lcd->cursor(), (hid::sim::CharacterLcd::Position{0, 0}));
    QVERIFY(lcd->cursorBlock());
    QCOMPARE(simulator->findChild<QLabel *>("lcdModeLabel")->text(),
             "LCD mode: on");
    writeMacros({4});
    QTRY_COMPARE(fixture.records().size(), 6);
    QCOMPARE(fixture.records().last(),
             (core::ReportRecord{"R", 6, QByteArray::fromHex("84546573740000"),
                                 ""}));
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
    QCOMPARE(
        fixture.records(),
        QList<core::ReportRecord>(
            {{"R", core::kNoReportID, QByteArray::fromHex("ffffffff"), ""},
             {"R", core::kNoReportID, QByteArray::fromHex("dfffffff"), ""}}));
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
    const core::ReportRecord key{"R", 0x0C,
                                 QByteArray::fromHex("2a140000000000"), ""};
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
    simulator::DevicesPanel *devices = simulator->devices();
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
    QTest::newRow("stall") << 0 << simulator::FaultsPanel::Stall << false
                           << ExplorerFixture::transferAlert(
                                  "write to", "the device did not answer "
                                              "within 50 ms; it may have "
                                              "received the report");
    QTest::newRow("fail next write")
        << 1 << simulator::FaultsPanel::FailNextWrite << false
        << ExplorerFixture::transferAlert("write to", "input/output error");
    QTest::newRow("fail next read")
        << 0 << simulator::FaultsPanel::FailNextRead << true
        << ExplorerFixture::transferAlert("read from", "input/output error");
    QTest::newRow("refuse to open")
        << 0 << simulator::FaultsPanel::RefuseOpen << false
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
    const bool oneShot = fault == simulator::FaultsPanel::FailNextWrite ||
                         fault == simulator::FaultsPanel::FailNextRead;
    QCOMPARE(box->isChecked(), !oneShot);
    QCOMPARE(fixture.records().size(), 0);
  }

  // At the highest rate, with the kernel's reader slowed so that its queue
  // overflows, every report of the run is either overrun on the device (not
  // sent), or sent and either logged or counted dropped, each run its own
  // count.
  void kernelQueueDropsAreSentMinusDelivered() {
    fixture.chooseInterface(1);
    fixture.click("readButton");
    fixture.backend().setKernelReaderRest(std::chrono::milliseconds(5));
    simulator::StressPanel *stress = simulator->stress();
    stress->rateBox()->setValue(simulator::ReportGenerator::kMaxRate);
    stress->countBox()->setValue(4000);
    const auto leadingNumber = [](const QLabel *label) {
      return QLocale().toULongLong(label->text().section(' ', 0, 0));
    };
    uint64_t droppedBefore = 0, sentBefore = 0;
    for (uint64_t run = 1; run <= 2; ++run) {
      QTest::mouseClick(stress->startButton(), Qt::LeftButton);
      QTRY_COMPARE_WITH_TIMEOUT(stress->startButton()->text(), "Start", 10000);
      fixture.backend().waitForKernelQueues();
      const uint64_t dropped =
          fixture.backend().kernelDropped(deviceA, 1) - droppedBefore;
      droppedBefore += dropped;
      QVERIFY(dropped > 0);
      const uint64_t sent = leadingNumber(stress->sentLabel());
      sentBefore += sent;
      QCOMPARE(stress->sentLabel()->text(),
               QLocale().toString(qulonglong(sent)) + " sent,");
      QCOMPARE(stress->overrunLabel()->text(),
               QLocale().toString(qulonglong(4000 - sent)) +
                   " overrun on the device,");
      QCOMPARE(stress->droppedLabel()->text(),
               QLocale().toString(qulonglong(dropped)) +
                   " dropped in the kernel queue");
      QTRY_COMPARE(uint64_t(fixture.records().size()),
                   sentBefore - droppedBefore);
    }
    QTest::qWait(100);
    QCOMPARE(uint64_t(fixture.records().size()), sentBefore - droppedBefore);
  }

  // The generator sends as a bus carries reports: a thread held 2 ms sends
  // no burst of the 48 reports due meanwhile (a bus takes at most 3 a 125 us
  // microframe: 6 in any 125 us, a few more where the thread is preempted
  // between a microframe's choice and its sends); those its queue of 24 has
  // no room for are its overrun: their numbers are skipped, and sent and
  // overrun make the count.
  void theGeneratorSendsNoBurstABusCouldNotCarry() {
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> times;
    std::vector<uint16_t> numbers;
    times.reserve(2400);
    simulator::ReportGenerator generator(
        [&](const std::vector<uint8_t> &report) {
          times.push_back(Clock::now());
          numbers.push_back(uint16_t(report[1] << 8 | report[2]));
          if (numbers.size() == 100)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        },
        [] {});
    generator.start(simulator::ReportGenerator::kMaxRate, 2400);
    QTRY_VERIFY(!generator.running());
    QCOMPARE(generator.sent(), uint64_t(times.size()));
    QCOMPARE(generator.sent() + generator.overrun(), uint64_t(2400));
    QVERIFY2(generator.overrun() >= 20,
             qPrintable(QString::number(generator.overrun())));
    uint64_t skipped = 0;
    for (size_t i = 1; i < numbers.size(); ++i) {
      QVERIFY(numbers[i] > numbers[i - 1]);
      skipped += numbers[i] - numbers[i - 1] - 1;
    }
    QCOMPARE(skipped + (2399 - numbers.back()) + numbers.front(),
             generator.overrun());
    size_t first = 0, most = 0;
    for (size_t last = 0; last < times.size(); ++last) {
      while (times[last] - times[first] >= std::chrono::microseconds(125))
        ++first;
      most = std::max(most, last - first + 1);
    }
    QVERIFY2(most < 12, qPrintable(QString::number(most)));
  }

  // Given the screens' available areas, the explorer's frame, the
  // simulator's frame size and the place remembered (none when not valid),
  // where it goes: right of the explorer, left of it, over it, shrunk to a
  // small screen, on the explorer's second screen; a remembered place on a
  // screen, then one off every screen.
  void framesLieWhollyOnAScreen() {
    const QRect wide(0, 0, 1600, 1000);
    const QList<QRect> one{wide}, small{{0, 0, 800, 500}},
        both{wide, {1600, 0, 1280, 1024}};
    const struct {
      QList<QRect> screens;
      QRect explorer;
      QSize frame;
      QRect remembered, placed;
    } cases[] = {
        {one, {0, 0, 700, 800}, {800, 900}, {}, {708, 0, 800, 900}},
        {one, {900, 0, 600, 500}, {800, 600}, {}, {92, 0, 800, 600}},
        {one, {0, 0, 759, 600}, {938, 900}, {}, {662, 0, 938, 900}},
        {small, {0, 300, 400, 400}, {938, 900}, {}, {0, 0, 800, 500}},
        {both, {1700, 50, 600, 500}, {800, 600}, {}, {2080, 50, 800, 600}},
        {both, {}, {800, 900}, {1700, 900, 500, 400}, {1700, 624, 500, 400}},
        {one, {}, {800, 900}, {1700, 100, 500, 400}, {1100, 100, 500, 400}},
    };
    for (const auto &c : cases)
      QVERIFY2(simulator::SimulatorFrame(c.screens, c.explorer, c.frame,
                                         c.remembered.isValid()
                                             ? std::optional(c.remembered)
                                             : std::nullopt) == c.placed,
               qPrintable(QDebug::toString(c.placed)));
  }

  // The window was last larger than the offscreen screen and off it.
  void windowOpensOnTheScreenWhereItWasLeft() {
    simulator->resize(1500, 1200);
    const QString file = QDir::temp().filePath("simulator-state.ini");
    QSettings(file, QSettings::IniFormat)
        .setValue("device-simulator/place", QRect(5000, -900, 2000, 1500));
    simulator->placeBeside(*fixture.window(), file);
    const QRect screen = simulator->screen()->availableGeometry();
    QVERIFY(screen.contains(simulator->frameGeometry()));
    simulator->hide();
    QCOMPARE(QSettings(file, QSettings::IniFormat)
                 .value("device-simulator/place")
                 .toRect(),
             QRect(simulator->frameGeometry().topLeft(), simulator->size()));
  }

  // Whatever the palette, the marks of LCD mode on and an active fault keep
  // a contrast of 4.5:1 against the window they are drawn on.
  void marksAreReadableOnLightAndDarkPalettes() {
    fixture.chooseInterface(1);
    writeMacros({0});
    simulator->faults()->checkBox(0, simulator::FaultsPanel::Stall)->click();
    const QList<QWidget *> marks = {
        simulator->findChild<QLabel *>("lcdModeLabel"),
        simulator->faults()->checkBox(0, simulator::FaultsPanel::Stall)};
    const QPalette original = QApplication::palette();
    for (const QColor window : {QColor(0xefefef), QColor(0x353535)}) {
      QApplication::setPalette(QPalette(window, window));
      QCoreApplication::processEvents(); // the windows learn of it
      for (QWidget *mark : marks) {
        QVERIFY(mark->font().bold());
        QVERIFY2(Contrast(mark->palette().color(QPalette::WindowText),
                          window) >= 4.5,
                 qPrintable(mark->objectName()));
      }
    }
    QApplication::setPalette(original);
  }
};

QTEST_MAIN(SimulatorTest)
#include "tst_simulator.moc"
