// pinworth on its Linux backend, over USB devices emulated by umockdev: the
// testbed lives in this process, pinworth runs in a child that inherits the
// preload library and the testbed's directory, as umockdev-run does it.
#include "tests/cli/PinworthProcess.h"
#include "tests/platform/hidraw/HidrawTestbed.h"

#include "platform/PinworthUSBIDs.h"

#include <QTest>

class PinworthHidrawTest : public QObject {
  Q_OBJECT

  std::unique_ptr<HidrawTestbed> testbed;

private slots:
  void init() {
    testbed = std::make_unique<HidrawTestbed>();
    testbed->plugPinworth("1-4", pinworth::kUSBProductIDA, "1000");
    testbed->plugPinworth("1-5", pinworth::kUSBProductIDB, "2000");
  }
  void cleanup() { testbed.reset(); }

  void listsTheNodes() {
    const PinworthRun run = RunPinworth({"list"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines,
             QStringList({" 0  A:1000:0   PinworthA (SN 1000) Interface 0  "
                          "/dev/hidraw0",
                          " 1  A:1000:1   PinworthA (SN 1000) Interface 1  "
                          "/dev/hidraw1",
                          " 2  B:2000:0   PinworthB (SN 2000) Interface 0  "
                          "/dev/hidraw2",
                          " 3  B:2000:1   PinworthB (SN 2000) Interface 1  "
                          "/dev/hidraw3"}));
  }

  void failedTransfers() {
    testbed->node("1-5", 0).failRequestsWith(EIO);
    const PinworthRun failed = RunPinworth({"write", "B:2000:0", "01"});
    QCOMPARE(failed.exitCode, 4);
    QVERIFY2(failed.errors.contains("could not write to PinworthB (SN 2000) "
                                    "Interface 0: input/output error"),
             qPrintable(failed.errors));
    QVERIFY(failed.lines.isEmpty());
  }

  // Starts listen with arguments on A:1000:1 and returns once it is armed.
  void startListening(QProcess &process, const QStringList &arguments) {
    StartPinworth(process, QStringList{"listen", "A:1000:1"} + arguments);
    QString errors;
    QTRY_VERIFY(
        (errors += process.readAllStandardError()).contains("Ctrl+C stops"));
    QTRY_COMPARE(testbed->node("1-4", 1).openClients(), 2);
  }

  void listens() {
    FakeHidrawNode &node = testbed->node("1-4", 1);
    QProcess process;
    startListening(process, {"--count", "2"});
    node.sendInterruptReport({6, 0x82, 'O', 'K', 0, 0, 0, 0});
    node.sendInterruptReport({0x0c, 0x00, 0x16, 0, 0, 0, 0, 0});
    const PinworthRun run = Finish(process);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 2);
    QVERIFY2(run.lines[0].contains("A 1000 if1    R  06  82 4f 4b 00 00 00 "
                                   "00  LCD read: \"OK\""),
             qPrintable(run.lines[0]));
    QVERIFY2(run.lines[1].contains("R  0c  00 16 00 00 00 00 00  IR key: "
                                   "address 0x00, command 0x16"),
             qPrintable(run.lines[1]));
  }

  // A reader refused real-time priority is told of once, with its reason
  // and what it risks, and listening goes on.
  void saysWhenPriorityIsRefused() {
    QProcess process;
    process.start("prlimit",
                  {"--rtprio=0", "setpriv", "--bounding-set=-sys_nice",
                   "--inh-caps=-sys_nice", PINWORTH_PROGRAM, "listen",
                   "A:1000:1", "--count", "1"});
    QTRY_COMPARE(testbed->node("1-4", 1).openClients(), 2);
    QTest::qWait(300); // listening, checked a few times
    testbed->node("1-4", 1).sendInterruptReport({0x0c, 0, 0x16, 0, 0, 0, 0, 0});
    const PinworthRun run = Finish(process);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 1);
    const QString notice =
        "pinworth: Interrupt reports are read at normal priority: real-time "
        "priority was not granted (Operation not permitted; RLIMIT_RTPRIO is "
        "0). On a busy machine a fast device can then fill the kernel's queue "
        "of 64 reports before they are read, and the reports it drops are "
        "lost unseen. The README says how to grant the priority.\n";
    QCOMPARE(run.errors.count(notice), 1);
  }

  // Listening ends when its device goes, also without udevd (no event says
  // so: its reads fail); another device going changes nothing.
  void endsWhenUnplugged_data() {
    QTest::addColumn<bool>("udevd");
    QTest::newRow("with udevd") << true;
    QTest::newRow("without udevd") << false;
  }
  void endsWhenUnplugged() {
    QFETCH(bool, udevd);
    QProcess process;
    startListening(process, {});
    testbed->unplug("1-5");
    QVERIFY(!process.waitForFinished(300));
    if (udevd)
      testbed->unplug("1-4");
    else
      testbed->disconnect("1-4");
    const PinworthRun run = Finish(process);
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.errors.contains("PinworthA (SN 1000) Interface 1 was "
                                 "unplugged"),
             qPrintable(run.errors));
  }
};

QTEST_GUILESS_MAIN(PinworthHidrawTest)
#include "tst_pinworth_hidraw.moc"
