// The explorer window offscreen on the real kernel, in the test VM only (it
// needs root, dummy_hcd and $PINWORTH_GADGET): a PinworthA "3000" and a
// PinworthB "4000" made by pinworth-gadget are listed, written, polled and
// listened to, and their reports and an unplug are logged; a device over
// USB/IP is unplugged at either end.
#include "tests/app/ExplorerFixture.h"
#include "tests/platform/kernel/GadgetProcess.h"

#include "lib/PinworthLib.h"
#include "platform/hidraw/HidrawBackend.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Explorer = ExplorerFixture;

namespace {

// The reports a window logged from source, in order.
QList<core::ReportRecord> Logged(explorer::PinworthWindowController *window,
                                 const QString &source) {
  explorer::LogTableModel *log = window->logModel();
  QList<core::ReportRecord> records;
  for (int i = 0; i < log->reportCount(); ++i)
    if (log->isReport(i) &&
        log->cellText(i, explorer::LogTableModel::kSourceColumn) == source)
      records << log->record(i);
  return records;
}

QList<QByteArray> LoggedData(explorer::PinworthWindowController *window,
                             const QString &source) {
  QList<QByteArray> data;
  for (const core::ReportRecord &record : Logged(window, source))
    data << record.data;
  return data;
}

QStringList Events(explorer::PinworthWindowController *window) {
  explorer::LogTableModel *log = window->logModel();
  QStringList events;
  for (int i = 0; i < log->reportCount(); ++i)
    if (!log->isReport(i))
      events << log->cellText(i, explorer::LogTableModel::kDecodedColumn);
  return events;
}

// An explorer window on the hidraw backend, the user's files in a home of
// its own; the library's handles go before their backend.
struct WindowOnKernel {
  QTemporaryDir home;
  hid::hidraw::HidrawBackend backend;
  std::unique_ptr<explorer::ExplorerProcess> process;
  explorer::PinworthWindowController *window = nullptr;
  QComboBox *interfaces = nullptr;

  WindowOnKernel() {
    hid::SetBackend(&backend);
    process = std::make_unique<explorer::ExplorerProcess>(
        explorer::ExplorerProcess::Files{home.filePath("defaults.json"),
                                         home.filePath("window-state.ini"),
                                         home.filePath("sessions")});
    process->newWindow();
    window = process->controllers().front();
    interfaces = Explorer::widgetIn<QComboBox>(window, "interfacePopup");
  }
  ~WindowOnKernel() {
    process.reset();
    PinworthClearInterfaceList();
    hid::SetBackend(nullptr);
  }
};

} // namespace

class KernelWindowTest : public QObject {
  Q_OBJECT

private slots:
  void listWritePollListenAndLog() {
    WindowOnKernel explorer;
    explorer::PinworthWindowController *window = explorer.window;
    QComboBox *interfaces = explorer.interfaces;
    GadgetProcess a("A", "3000"), b("B", "4000");
    QVERIFY2(a.ready() && b.ready(),
             qPrintable(QString::fromStdString(a.output() + b.output())));
    // Arrivals come from udevd's events.
    QTRY_COMPARE_WITH_TIMEOUT(interfaces->count(), 4, 10000);
    QCOMPARE(Explorer::titles(interfaces),
             QStringList({"PinworthA Interface 0 (SN 3000)",
                          "PinworthA Interface 1 (SN 3000)",
                          "PinworthB Interface 0 (SN 4000)",
                          "PinworthB Interface 1 (SN 4000)"}));

    // B's interface 1 is listened to first: while polling, Read on any
    // interface stops the polling.
    Explorer::chooseIn(window, "interfacePopup", 3);
    Explorer::clickIn(window, "readButton");
    QTest::qWait(200); // usbhid drops input in its first 50 ms
    QCOMPARE(b.command("send 1 0c 00 16 00 00 00 00 00"), "ok");
    QCOMPARE(b.command("send 1 0c 00 19 00 00 00 00 00"), "ok");
    const QList<QByteArray> keys = {QByteArray("\x00\x16\0\0\0\0\0", 7),
                                    QByteArray("\x00\x19\0\0\0\0\0", 7)};
    QTRY_VERIFY2(LoggedData(window, "B 4000 if1") == keys,
                 qPrintable(Events(window).join("; ")));

    // Written latches come back in the polled levels, with a pin the
    // bench pulls low.
    Explorer::chooseIn(window, "interfacePopup", 0);
    const char *bytes[] = {"0f", "ff", "ff", "ff"};
    for (int i = 0; i < 4; ++i)
      Explorer::widgetIn<QLineEdit>(
          window, qPrintable(QStringLiteral("byte%1Field").arg(i)))
          ->setText(bytes[i]);
    Explorer::clickIn(window, "writeButton");
    QCOMPARE(a.command("pull 1"), "ok");
    Explorer::clickIn(window, "readButton");
    QVERIFY(window->reading().isPolling());
    QTRY_VERIFY(LoggedData(window, "A 3000 if0")
                    .contains(QByteArray("\x0d\xff\xff\xff", 4)));
    const core::ReportRecord written = Logged(window, "A 3000 if0").front();
    QCOMPARE(written.direction, core::kReportDirectionOut);
    QCOMPARE(written.data, QByteArray("\x0f\xff\xff\xff", 4));

    QCOMPARE(b.command("unplug"), "ok");
    QTRY_COMPARE_WITH_TIMEOUT(interfaces->count(), 2, 10000);
    QTRY_VERIFY(Events(window).contains("unplugged: PinworthB (SN 4000)"));
    QVERIFY(window->reading().isPolling());
    QCOMPARE(LoggedData(window, "B 4000 if1"), keys);
  }

  // Run by checks/40-usbip.sh on PinworthA "1000", attached over USB/IP as
  // bus ID $PINWORTH_USBIP_BUSID and driven through the fifo of its gadget:
  // a detach at this end and a pull at the device's end reach the window.
  void aDeviceOverUsbipUnpluggedAtEitherEnd() {
    const QString busid = qEnvironmentVariable("PINWORTH_USBIP_BUSID");
    if (busid.isEmpty())
      QSKIP("needs a device attached over USB/IP");
    WindowOnKernel explorer;
    explorer::PinworthWindowController *window = explorer.window;
    QComboBox *interfaces = explorer.interfaces;
    QTRY_COMPARE_WITH_TIMEOUT(interfaces->count(), 4, 10000);
    const auto unplugs = [window] {
      return Events(window).count("unplugged: PinworthA (SN 1000)");
    };
    const auto key = [](int command) {
      QFile gadget("/run/gadget-1000");
      QVERIFY(gadget.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
      gadget.write(QStringLiteral("send 1 0c 00 %1 00 00 00 00 00\n")
                       .arg(command, 2, 16, QChar('0'))
                       .toLatin1());
    };
    const int listened = int(Explorer::titles(interfaces)
                                 .indexOf("PinworthA Interface 1 (SN 1000)"));
    QVERIFY(listened >= 0);
    Explorer::chooseIn(window, "interfacePopup", listened);
    Explorer::clickIn(window, "readButton");
    QTest::qWait(200); // usbhid drops input in its first 50 ms
    key(0x16);
    QTRY_COMPARE(LoggedData(window, "A 1000 if1").size(), 1);

    QCOMPARE(QProcess::execute("usbip", {"detach", "-p", "0"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(unplugs(), 1, 10000);
    QCOMPARE(interfaces->count(), 2);
    QCOMPARE(
        QProcess::execute("usbip", {"attach", "-r", "127.0.0.1", "-b", busid}),
        0);
    QTRY_COMPARE_WITH_TIMEOUT(interfaces->count(), 4, 10000);
    QTest::qWait(200); // listening resumes on the device come back
    key(0x19);
    QTRY_COMPARE(LoggedData(window, "A 1000 if1").size(), 2);

    QFile gadget("/run/gadget-1000");
    QVERIFY(gadget.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    gadget.write("unplug\n");
    gadget.close();
    QTRY_COMPARE_WITH_TIMEOUT(unplugs(), 2, 10000);
    QTRY_COMPARE(interfaces->count(), 2);
  }
};

QTEST_MAIN(KernelWindowTest)
#include "tst_kernel_window.moc"
