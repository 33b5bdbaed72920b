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
    pin(9)->click();
    pin(31)->click();
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
    pin(0)->click();
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
    fixture.widget<QCheckBox>("infraredCheckBox")->click();
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

    LogView *log = fixture.logTable();
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
    QCOMPARE(received(1).back(),
             std::vector<uint8_t>({5, 0x01, 0x80, 0, 0, 0, 0, 0}));
    QVERIFY2(
        progress->text().startsWith("\"Again\" stopped before step 1 of 2"),
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
