// Once hidraw's reader of interrupt reports has been refused real-time
// priority, the window says, once, what that risks.
#include "platform/InputReportQueue.h"
#include "platform/hidraw/InterruptReader.h"
#include "tests/app/ExplorerFixture.h"
#include "tests/support/ProcessLimits.h"

#include <QLabel>
#include <QTest>

#include <fcntl.h>

class ReaderPriorityTest : public QObject {
  Q_OBJECT

  ExplorerFixture fixture;

  QString message() const {
    auto *bar = fixture.widget<QLabel>("messageText");
    return bar->isVisibleTo(fixture.window()) ? bar->text() : QString();
  }

private slots:
  void initTestCase() { fixture.setUp(); }
  void cleanup() { fixture.cleanup(); }

  void saysOnceWhatARefusalRisks() {
    fixture.startWithPinworthA();
    QTest::qWait(50); // several refreshes of the status
    QCOMPARE(message(), QString());
    int ends[2];
    QCOMPARE(::pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
    hid::InputReportQueue queue(
        [](const uint8_t *, size_t, uint64_t, hid::ReportTime) {});
    {
      const WithoutRealTimePriority refused;
      hid::hidraw::InterruptReader reader; // its thread starts refused
      reader.add(std::make_shared<const hid::hidraw::FileDescriptor>(ends[0]),
                 queue.writer(), [] {});
      QTRY_COMPARE(
          message(),
          "Interrupt reports are read at normal priority: real-time priority "
          "was not granted (Operation not permitted; RLIMIT_RTPRIO is 0). On "
          "a busy machine a fast device can then fill the kernel's queue of "
          "64 reports before they are read, and the reports it drops are "
          "lost unseen. The README says how to grant the priority.");
    }
    ::close(ends[1]);
    for (QPushButton *button : fixture.window()->findChildren<QPushButton *>())
      if (button->text() == "Dismiss")
        button->click();
    QTest::qWait(100);
    QCOMPARE(message(), QString());
  }
};

QTEST_MAIN(ReaderPriorityTest)
#include "tst_reader_priority.moc"
