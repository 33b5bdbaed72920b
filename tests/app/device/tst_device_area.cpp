// The device area: the pin grid of an interface 0 and the display panel of
// an interface 1, through the real window over a simulated PinworthA.
#include "platform/simulated/VirtualPinworth.h"
#include "tests/app/ExplorerFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

class DeviceAreaTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;
  hid::sim::DeviceID deviceA = 0;

  QToolButton *pin(int number) {
    return fixture.widget<QToolButton>(
        qPrintable(QStringLiteral("pin%1Button").arg(number)));
  }
  const Wire &received(int interfaceNumber) {
    return fixture.backend().received(deviceA, interfaceNumber);
  }
  // Clicks a control of the device area and waits for the write it makes.
  void click(QAbstractButton *button) {
    button->click();
    fixture.waitForDevice(fixture.controller());
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void init() { deviceA = fixture.startWithPinworthA(); }
  void cleanup() { fixture.cleanup(); }

  // A click toggles one latch: the four latch bytes go out, logged; the
  // levels follow polling, and a pin held low under a high latch is
  // marked. With the device gone, a click sends nothing and says why.
  void pinGridTogglesLatchesAndFollowsPolling() {
    QVERIFY(fixture.widget<QWidget>("pinGrid")->isVisibleTo(fixture.window()));
    QVERIFY(!fixture.widget<QWidget>("displayPanel")
                 ->isVisibleTo(fixture.window()));
    click(pin(9));
    click(pin(31));
    QCOMPARE(received(0),
             Wire({{0xff, 0xfd, 0xff, 0xff}, {0xff, 0xfd, 0xff, 0x7f}}));
    QCOMPARE(fixture.records().size(), 2);
    QCOMPARE(pin(9)->text(), "9\nL/?");

    fixture.backend().setPinPulledLow(deviceA, 2, true);
    fixture.click("readButton");
    QTRY_COMPARE(pin(2)->text(), "2\nH/L");
    QCOMPARE(pin(9)->text(), "9\nL/L");
    QVERIFY(pin(2)->font().bold());
    QVERIFY(!pin(9)->font().bold());
    fixture.click("readButton");

    fixture.backend().detach(deviceA);
    QTRY_COMPARE(fixture.interfacePopup()->count(), 0);
    AlertAnswerer answerer;
    click(pin(0));
    QCOMPARE(answerer.shown(),
             QStringList({"Pinworth not found | There is no Pinworth device "
                          "attached to you mac. | OK"}));
    QCOMPARE(received(0).size(), 2u);
  }

  // Show puts both lines on the display with every report logged; Read
  // Back shows what the display holds; the checkbox switches infrared.
  // Text the display cannot take is refused in an alert, and nothing goes
  // out.
  void displayPanelShowsReadsBackAndSwitchesInfrared() {
    fixture.chooseInterface(1);
    QVERIFY(
        fixture.widget<QWidget>("displayPanel")->isVisibleTo(fixture.window()));
    fixture.widget<QLineEdit>("displayLine0Field")->setText("Hello");
    fixture.widget<QLineEdit>("displayLine1Field")->setText("World!");
    fixture.click("showButton");
    hid::sim::VirtualPinworth &device = fixture.backend().device(deviceA);
    QCOMPARE(device.displayLine(0), "Hello           ");
    QCOMPARE(device.displayLine(1), "World!          ");
    QCOMPARE(fixture.records().size(), qsizetype(received(1).size()));

    fixture.click("readBackButton");
    QTRY_COMPARE(fixture.widget<QLabel>("displayHeldView")->text(),
                 "Hello           \nWorld!          ");
    click(fixture.widget<QCheckBox>("infraredCheckBox"));
    QVERIFY(device.infraredOn());

    const size_t sent = received(1).size();
    fixture.widget<QLineEdit>("displayLine0Field")->setText("Grüße");
    AlertAnswerer answerer;
    fixture.click("showButton");
    QCOMPARE(answerer.shown().size(), 1);
    QVERIFY2(answerer.shown()[0].startsWith("Invalid display text | "),
             qPrintable(answerer.shown()[0]));
    QCOMPARE(received(1).size(), sent);
  }

  // A target that does not answer holds nothing: a pin click returns at
  // once, and the form's Write is refused while it waits, with the reason;
  // the answer, 50 ms later, is the alert, and nothing is logged. A
  // sequence's step that is not taken ends the run there.
  void aTargetThatDoesNotAnswerHoldsNothing() {
    fixture.backend().faults(deviceA, 0).stalled = true;
    AlertAnswerer answerer;
    pin(0)->click();
    QVERIFY(fixture.controller()->waitsForDevice());
    QTest::mouseClick(fixture.widget("writeButton"), Qt::LeftButton);
    QCOMPARE(fixture.widget<QLabel>("messageText")->text(),
             "Not sent: PinworthA (SN 1000) Interface 0 has not yet taken "
             "the report written before.");
    fixture.waitForDevice(fixture.controller());
    QCOMPARE(answerer.shown().size(), 1);
    QCOMPARE(pin(0)->text(), "0\nH/?");

    fixture.chooseInterface(1);
    fixture.backend().faults(deviceA, 1).stalled = true;
    fixture.click("runSequenceButton");
    QCOMPARE(answerer.shown().size(), 2);
    QCOMPARE(fixture.widget<QLabel>("sequenceProgressLabel")->text(),
             "\"Show Test on the display\" failed at step 1 of 5 (report "
             "0x04: 01 00 00 00 00 00 00): the write failed.");
    QCOMPARE(fixture.log()->reportCount(), 0);
  }

  // The built-in sequence puts "Test" on the display. W rows chosen in the
  // log become a sequence sent every 30 ms, which Stop ends at once; one
  // the target cannot take fails at its first step, saying why.
  void sequencesRunComeFromTheLogAndStop() {
    fixture.chooseInterface(1);
    fixture.click("runSequenceButton");
    hid::sim::VirtualPinworth &device = fixture.backend().device(deviceA);
    QTRY_COMPARE(device.displayLine(0).substr(0, 4), "Test");
    QCOMPARE(received(1).size(), 5u);
    fixture.flushLog();
    QCOMPARE(fixture.records().size(), 5);
    auto *progress = fixture.widget<QLabel>("sequenceProgressLabel");
    QVERIFY2(progress->text().startsWith("\"Show Test on the display\" ran: "
                                         "all 5 steps sent, at most "),
             qPrintable(progress->text()));

    explorer::LogView *log = fixture.logTable();
    log->selectionModel()->select(
        QItemSelection(log->model()->index(2, 0), log->model()->index(3, 0)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    {
      ModalAnswerer answerer([](QWidget *panel) {
        panel->findChild<QLineEdit *>("sequenceNameField")->setText("Again");
        panel->findChild<QComboBox *>("sequenceRunsPopup")->setCurrentIndex(2);
        panel->findChild<QSpinBox *>("sequenceEveryBox")->setValue(30);
        static_cast<QDialog *>(panel)->accept();
        return true;
      });
      for (QAction *action : log->actions())
        if (action->text().startsWith("Add &Sequence"))
          action->trigger();
    }
    QCOMPARE(fixture.widget<QComboBox>("sequencePopup")->currentText(),
             "Again");
    fixture.click("runSequenceButton");
    QTRY_VERIFY(received(1).size() >= 5 + 3 * 2);
    fixture.click("stopSequenceButton");
    const size_t stopped = received(1).size();
    QTest::qWait(100);
    QCOMPARE(received(1).size(), stopped);
    // Stop may come between the two steps of a round.
    const bool betweenRounds = (stopped - 5) % 2 == 0;
    QCOMPARE(received(1).back(),
             betweenRounds
                 ? std::vector<uint8_t>({5, 0x01, 0x80, 0, 0, 0, 0, 0})
                 : std::vector<uint8_t>({5, 0x84, 'T', 'e', 's', 't', 0, 0}));
    QVERIFY2(progress->text().startsWith(
                 QStringLiteral("\"Again\" stopped before step %1 of 2")
                     .arg(betweenRounds ? 1 : 2)),
             qPrintable(progress->text()));

    fixture.chooseInterface(0);
    fixture.click("runSequenceButton");
    QCOMPARE(progress->text(),
             "\"Again\" failed at step 1 of 2, round 1 (report 0x05: 84 54 65 "
             "73 74 00 00): an interface 0 report has no report ID.");
    QCOMPARE(received(0).size(), 0u);

    // Delete asks first; only its own button deletes.
    for (const char *answer : {"Cancel", "Delete"}) {
      ModalAnswerer confirm([answer](QWidget *box) {
        for (QAbstractButton *button : box->findChildren<QAbstractButton *>())
          if (button->text().remove('&') == answer)
            button->click();
        return true;
      });
      fixture.click("deleteSequenceButton");
    }
    QCOMPARE(fixture.titles(fixture.widget<QComboBox>("sequencePopup")),
             QStringList({"Show Test on the display"}));
  }
};

QTEST_MAIN(DeviceAreaTest)
#include "tst_device_area.moc"
