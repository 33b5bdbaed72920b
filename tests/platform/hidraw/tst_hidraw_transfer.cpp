// Report transfer over the hidraw backend, as the library's callers see it:
// the bytes on the wire, input reports by request, one descriptor per open
// handle, requests the device never answers, and failures as statuses.
#include "tests/platform/hidraw/HidrawLibrary.h"
#include "tests/support/ProcessLimits.h"

#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <thread>

Q_DECLARE_METATYPE(hid::Status)

namespace {

constexpr uint16_t kA = kPinworthAProductID;
const uint8_t kReport1[8] = {0x0C, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
const uint8_t kData0[4] = {0xDE, 0xAD, 0xBE, 0xEF};

} // namespace

class HidrawTransferTest : public QObject {
  Q_OBJECT

private slots:
  // Interface 0 has no report IDs: its report goes out behind the report
  // number 0. Interface 1's begins with its ID and goes out as it is. An open
  // handle keeps one descriptor, and a read closes it.
  void outputReportsOnTheWire() {
    HidrawLibrary lib;
    lib.testbed.plugPinworth("1-4", kA, "1");
    QCOMPARE(ListedInterface(0)->open(0), hid::kSuccess);
    QCOMPARE(PinworthWriteToInterface(ListedInterface(0), 4, kData0), 0);
    QCOMPARE(PinworthWriteToInterface(ListedInterface(1), 8, kReport1), 0);
    FakeHidrawNode &node0 = lib.testbed.node("1-4", 0);
    QCOMPARE(node0.written(),
             (std::vector<Bytes>{{0, 0xDE, 0xAD, 0xBE, 0xEF}}));
    node0.setInputReport(0, Bytes(kData0, kData0 + 4));
    QCOMPARE(lib.testbed.node("1-4", 1).written(),
             std::vector<Bytes>{Bytes(kReport1, kReport1 + 8)});
    uint8_t data[4];
    QCOMPARE(PinworthReadFromInterface(ListedInterface(0), 0, 4, data), 0);
    QCOMPARE(node0.openCalls(), 1);
    QTRY_COMPARE(node0.openClients(), 0);
  }

  void inputReports_data() {
    QTest::addColumn<int>("interfaceNumber");
    QTest::addColumn<int>("reportID");
    QTest::addColumn<Bytes>("answer");  // what the device answers
    QTest::addColumn<Bytes>("request"); // what went in
    QTest::addColumn<Bytes>("data");    // what the caller gets
    // Report number 0: the kernel's answer begins with it, the caller gets
    // the data alone. Any other number goes to the device as it is, and the
    // answer is the device's report, also on an interface without IDs.
    QTest::newRow("no IDs, number 0")
        << 0 << 0 << Bytes{0xA1, 0xA2, 0xA3, 0xA4} << Bytes(5, 0)
        << Bytes{0xA1, 0xA2, 0xA3, 0xA4};
    QTest::newRow("no IDs, number 5")
        << 0 << 5 << Bytes{0xB1, 0xB2, 0xB3, 0xB4} << Bytes{5, 0, 0, 0, 0, 0, 0}
        << Bytes{0xB1, 0xB2, 0xB3, 0xB4, 0, 0, 0};
    QTest::newRow("IDs") << 1 << 0x0C << Bytes(kReport1, kReport1 + 8)
                         << Bytes{0x0C, 0, 0, 0, 0, 0, 0, 0}
                         << Bytes(kReport1, kReport1 + 8);
  }

  void inputReports() {
    QFETCH(int, interfaceNumber);
    QFETCH(int, reportID);
    QFETCH(Bytes, answer);
    QFETCH(Bytes, request);
    QFETCH(Bytes, data);
    HidrawLibrary lib;
    lib.testbed.plugPinworth("1-4", kA, "1");
    FakeHidrawNode &node = lib.testbed.node("1-4", interfaceNumber);
    node.setInputReport(uint8_t(reportID), answer);
    Bytes read(data.size(), 0xEE);
    QCOMPARE(PinworthReadFromInterface(ListedInterface(interfaceNumber),
                                       reportID, int(read.size()), read.data()),
             0);
    QCOMPARE(read, data);
    QCOMPARE(node.inputRequests(), std::vector<Bytes>{request});
  }

  void aRequestTheDeviceNeverAnswers_data() {
    QTest::addColumn<bool>("isWrite");
    QTest::newRow("write") << true;
    QTest::newRow("get-report") << false;
  }

  // The call returns after about its 50 ms, a write saying that the device
  // may have its report. While the request is stuck the next one fails at
  // once, saying so, and nothing piles up; once the device answers, the
  // interface works again.
  void aRequestTheDeviceNeverAnswers() {
    QFETCH(bool, isWrite);
    HidrawLibrary lib;
    lib.testbed.plugPinworth("1-4", kA, "1");
    FakeHidrawNode &node = lib.testbed.node("1-4", isWrite ? 1 : 0);
    hid::DeviceInterface *interface = ListedInterface(isWrite ? 1 : 0);
    node.setStalled(true);
    uint8_t data[8];
    const auto transfer = [&] {
      return isWrite ? PinworthWriteToInterface(interface, 8, kReport1)
                     : PinworthReadFromInterface(interface, 0, 4, data);
    };
    for (int call = 0; call < 2; ++call) {
      QElapsedTimer elapsed;
      elapsed.start();
      QCOMPARE(transfer(), call      ? hid::kErrorBusy
                           : isWrite ? hid::kErrorNotAnswered
                                     : hid::kErrorTimeout);
      QVERIFY2(call ? elapsed.elapsed() < 49
                    : elapsed.elapsed() >= 49 && elapsed.elapsed() < 250,
               qPrintable(QString::number(elapsed.elapsed())));
      QCOMPARE(node.heldRequests(), 1);
    }
    node.setInputReport(0, {1, 2, 3, 4});
    node.setStalled(false);
    node.answerHeldRequests();
    // Until the worker has taken the late answer, calls still fail at once.
    hid::Status status = hid::kErrorBusy;
    QVERIFY(QTest::qWaitFor(
        [&] { return (status = transfer()) != hid::kErrorBusy; }));
    QCOMPARE(status, hid::kSuccess);
    QCOMPARE(node.written().size() + node.inputRequests().size(), size_t{2});
  }

  // Made later, a request returns at once and is answered on the event
  // loop: requests queue behind one the device holds, and when its time is
  // up it is answered as not answered and those behind it as busy; another
  // interface's request is answered meanwhile with its bytes, and a request
  // made at once on that interface waits behind it.
  void requestsMadeLater() {
    HidrawLibrary lib;
    lib.testbed.plugPinworth("1-4", kA, "1");
    FakeHidrawNode &node1 = lib.testbed.node("1-4", 1);
    lib.testbed.node("1-4", 0).setInputReport(0, {1, 2, 3, 4});
    node1.setStalled(true);
    std::vector<std::pair<int, hid::Status>> answers; // {request, status}
    Bytes read;
    const auto write = [&](int request) {
      PinworthWriteToInterfaceLater(
          ListedInterface(1), Bytes(kReport1, kReport1 + 8),
          [&answers, request](int32_t status, Bytes, hid::ReportTime) {
            answers.emplace_back(request, status);
          });
    };
    QElapsedTimer elapsed;
    elapsed.start();
    write(1);
    write(2);
    hid::ReportTime readAnsweredAt;
    PinworthReadFromInterfaceLater(
        ListedInterface(0), 0, 4,
        [&](int32_t status, Bytes data, hid::ReportTime answeredAt) {
          answers.emplace_back(3, status);
          read = data;
          readAnsweredAt = answeredAt;
        });
    // A request made at once waits behind the read made later.
    QCOMPARE(PinworthWriteToInterface(ListedInterface(0), 4, kData0),
             hid::kSuccess);
    QVERIFY2(elapsed.elapsed() < 49,
             qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY(answers.empty());
    const hid::ReportTime readWasAnswered = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    QTRY_COMPARE(answers.size(), size_t{3});
    QVERIFY(elapsed.elapsed() >= 49);
    QCOMPARE(answers, (std::vector<std::pair<int, hid::Status>>{
                          {3, hid::kSuccess},
                          {1, hid::kErrorNotAnswered},
                          {2, hid::kErrorBusy}}));
    QCOMPARE(read, (Bytes{1, 2, 3, 4}));
    QVERIFY(readAnsweredAt <= readWasAnswered);
    QCOMPARE(node1.heldRequests(), 1);
    node1.setStalled(false);
    node1.answerHeldRequests();
    // Until the worker has taken the late answer, requests are busy.
    hid::Status status = hid::kErrorBusy;
    QVERIFY(QTest::qWaitFor([&] {
      answers.clear();
      write(4);
      if (!QTest::qWaitFor([&] { return !answers.empty(); }, 500))
        return false;
      return (status = answers[0].second) != hid::kErrorBusy;
    }));
    QCOMPARE(status, hid::kSuccess);
    QCOMPARE(node1.written().size(), size_t{2});
  }

  // Without the udev rule the node belongs to root: the status says so, and
  // its text says how to get access. The handle tells so before opening.
  void permissionDenied() {
    HidrawLibrary lib;
    lib.testbed.plugPinworth("1-4", kA, "1");
    hid::DeviceInterface *interface = ListedInterface(0);
    QCOMPARE(interface->checkAccess(), hid::kSuccess);
    lib.testbed.denyAccess("1-4", 0);
    hid::Status status = hid::kSuccess;
    const std::string printed = CaptureStderr([&] {
      WithoutPermissionOverride asUser;
      QCOMPARE(interface->checkAccess(), hid::kErrorNotPermitted);
      status = PinworthWriteToInterface(interface, 4, kData0);
    });
    QCOMPARE(status, hid::kErrorNotPermitted);
    const std::string text = hid::StatusString(hid::kErrorNotPermitted);
    QVERIFY2(text.find("udev rule") != std::string::npos, text.c_str());
    QCOMPARE(printed, "Could not open hid device interface - " + text +
                          "(e00002e2,738)\n");
  }

  void failuresBecomeStatuses_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<hid::Status>("status");
    QTest::newRow("ESHUTDOWN") << ESHUTDOWN << hid::kErrorNoDevice;
    QTest::newRow("EPERM") << EPERM << hid::kErrorNotPermitted;
    QTest::newRow("EBUSY") << EBUSY << hid::kErrorExclusiveAccess;
    QTest::newRow("ETIMEDOUT") << ETIMEDOUT << hid::kErrorTimeout;
    QTest::newRow("EINVAL") << EINVAL << hid::kErrorBadArgument;
    QTest::newRow("EPIPE") << EPIPE << hid::kErrorIO;
    QTest::newRow("E2BIG") << E2BIG << hid::kErrorGeneral;
    QTest::newRow("EIO of a gone device") << -EIO << hid::kErrorNoDevice;
  }

  // A negative error is the same errno once the device has been unplugged.
  void failuresBecomeStatuses() {
    QFETCH(int, error);
    QFETCH(hid::Status, status);
    HidrawLibrary lib;
    lib.testbed.plugPinworth("1-4", kA, "1");
    hid::DeviceInterface *interface1 = ListedInterface(1);
    QCOMPARE(PinworthWriteToInterface(interface1, 8, kReport1), 0);
    FakeHidrawNode &node0 = lib.testbed.node("1-4", 0);
    FakeHidrawNode &node1 = lib.testbed.node("1-4", 1);
    if (error < 0)
      lib.testbed.unplug("1-4");
    node0.failRequestsWith(std::abs(error));
    node1.failRequestsWith(std::abs(error));
    uint8_t data[4];
    CaptureStderr([&] {
      QCOMPARE(PinworthWriteToInterface(interface1, 8, kReport1), status);
      if (error > 0)
        QCOMPARE(PinworthReadFromInterface(ListedInterface(0), 0, 4, data),
                 status);
    });
  }
};

QTEST_GUILESS_MAIN(HidrawTransferTest)
#include "tst_hidraw_transfer.moc"
