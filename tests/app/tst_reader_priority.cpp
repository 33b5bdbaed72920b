// Refused real-time priority, the explorer's interrupt reports are read all
// the same, and the window says, once, what that risks.
#include "tests/app/ExplorerFixture.h"
#include "tests/support/ProcessLimits.h"

#include <QLabel>
#include <QTest>

class ReaderPriorityTest : public QObject {
  Q_OBJECT

  // Before the fixture, whose backend starts its reader thread.
  const WithoutRealTimePriority refused;
  ExplorerFixture fixture;

  QString message() const {
    auto *bar = fixture.widget<QLabel>("messageText");
    return bar->isVisibleTo(fixture.window()) ? bar->text() : QString();
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() { fixture.cleanup(); }

  void readsAndSaysOnceWhatTheRefusalRisks() {
    const hid::sim::DeviceID a = fixture.startWithPinworthA();
    QTRY_COMPARE(
        message(),
        "Interrupt reports are read at normal priority: real-time priority "
        "was not granted (Operation not permitted; RLIMIT_RTPRIO is 0). On a "
        "busy machine a fast device can then fill the kernel's queue of 64 "
        "reports before they are read, and the reports it drops are lost "
        "unseen. The README says how to grant the priority.");
    fixture.chooseInterface(1);
    fixture.click("readButton");
    for (uint8_t n = 0; n < 20; ++n)
      fixture.backend().sendInputReport(a, 1, {0x0C, 0, n, 0, 0, 0, 0, 0});
    QTRY_COMPARE(fixture.records().size(), 20);
    for (QPushButton *button : fixture.window()->findChildren<QPushButton *>())
      if (button->text() == "Dismiss")
        button->click();
    QTest::qWait(100); // several refreshes of the status
    QCOMPARE(message(), QString());
  }
};

QTEST_MAIN(ReaderPriorityTest)
#include "tst_reader_priority.moc"
