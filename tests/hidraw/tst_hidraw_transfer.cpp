// Report transfer over the hidraw backend, as the library's callers see it:
// the bytes on the wire, input reports by request, one descriptor per open
// handle, requests the device never answers, and failures as statuses.
#include "HidrawLibrary.h"

#include <QElapsedTimer>
#include <QTest>

#include <cerrno>
#include <linux/capability.h>
#include <sys/syscall.h>

Q_DECLARE_METATYPE(hid::Status)

namespace {

constexpr uint16_t kA = kPinworthAProductID;

// Keeps the calling thread from overriding file permissions while it lives,
// so that a test run as root meets them like a user does.
class WithoutPermissionOverride {
public:
  WithoutPermissionOverride() {
    syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &=
        ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    syscall(SYS_capset, &header_, reduced);
  }
  ~WithoutPermissionOverride() { syscall(SYS_capset, &header_, saved_); }

private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

// Milliseconds that work took.
qint64 Duration(const std::function<void()> &work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return timer.elapsed();
}

const uint8_t kReport1[8] = {0x0C, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
const uint8_t kData0[4] = {0xDE, 0xAD, 0xBE, 0xEF};

} // namespace

class HidrawTransferTest : public QObject {
  Q_OBJECT

private slots:
  void bytesOnTheWire();
  void reportIDOfTheConvenienceWrite();
  void inputReportWithoutReportIDs();
  void inputReportByIDWithoutReportIDs();
  void inputReportWithReportIDs();
  void anOpenHandleKeepsOneDescriptor();
  void writeTheDeviceNeverAnswers();
  void readTheDeviceNeverAnswers();
  void permissionDenied();
  void failuresBecomeStatuses_data();
  void failuresBecomeStatuses();
  void ioErrorOfAGoneDeviceIsNoDevice();
};

// Interface 0 has no report IDs: its report goes out behind the report
// number 0. Interface 1's report begins with its ID and goes out as it is.
void HidrawTransferTest::bytesOnTheWire() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  QCOMPARE(PinworthWriteToInterface(ListedInterface(0), 4, kData0),
           hid::kSuccess);
  QCOMPARE(PinworthWriteToInterface(ListedInterface(1), 8, kReport1),
           hid::kSuccess);
  QCOMPARE(lib.testbed.node("1-4", 0).written(),
           (std::vector<Bytes>{{0x00, 0xDE, 0xAD, 0xBE, 0xEF}}));
  QCOMPARE(lib.testbed.node("1-4", 1).written(),
           (std::vector<Bytes>{Bytes(kReport1, kReport1 + 8)}));
}

void HidrawTransferTest::reportIDOfTheConvenienceWrite() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  PinworthCountInterfaces();
  const uint8_t data[7] = {1, 2, 3, 4, 5, 6, 7};
  QCOMPARE(PinworthAWriteInterface1(0x1FF, data), hid::kSuccess);
  QCOMPARE(lib.testbed.node("1-4", 1).written(),
           (std::vector<Bytes>{{0xFF, 1, 2, 3, 4, 5, 6, 7}}));
}

// The kernel's buffer begins with the report number; the caller gets the
// data alone.
void HidrawTransferTest::inputReportWithoutReportIDs() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  FakeHidrawNode &node = lib.testbed.node("1-4", 0);
  node.setInputReport({0x00, 0xA1, 0xA2, 0xA3, 0xA4});
  uint8_t data[4] = {};
  QCOMPARE(PinworthReadFromInterface(ListedInterface(0), 0, 4, data),
           hid::kSuccess);
  QCOMPARE(Bytes(data, data + 4), (Bytes{0xA1, 0xA2, 0xA3, 0xA4}));
  QCOMPARE(node.inputRequests(), (std::vector<Bytes>{{0, 0, 0, 0, 0}}));
}

// A report ID other than 0 goes to the device as it is; the kernel then
// puts no report number before the answer, and every byte is data.
void HidrawTransferTest::inputReportByIDWithoutReportIDs() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  FakeHidrawNode &node = lib.testbed.node("1-4", 0);
  node.setInputReport({0xB1, 0xB2, 0xB3, 0xB4});
  PinworthCountInterfaces();
  uint8_t data[7] = {};
  QCOMPARE(PinworthAReadInterface(0x05, data), hid::kSuccess);
  QCOMPARE(Bytes(data, data + 7), (Bytes{0xB1, 0xB2, 0xB3, 0xB4, 0, 0, 0}));
  QCOMPARE(node.inputRequests(),
           (std::vector<Bytes>{{0x05, 0, 0, 0, 0, 0, 0}}));
}

void HidrawTransferTest::inputReportWithReportIDs() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  FakeHidrawNode &node = lib.testbed.node("1-4", 1);
  node.setInputReport(Bytes(kReport1, kReport1 + 8));
  uint8_t data[8] = {};
  QCOMPARE(PinworthReadFromInterface(ListedInterface(1), 0x0C, 8, data),
           hid::kSuccess);
  QCOMPARE(Bytes(data, data + 8), Bytes(kReport1, kReport1 + 8));
  QCOMPARE(node.inputRequests(),
           (std::vector<Bytes>{{0x0C, 0, 0, 0, 0, 0, 0, 0}}));
}

// Every transfer opens the interface first; an open handle adds no
// descriptor, and a read closes it.
void HidrawTransferTest::anOpenHandleKeepsOneDescriptor() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  FakeHidrawNode &node = lib.testbed.node("1-4", 0);
  hid::DeviceInterface *interface = ListedInterface(0);
  QCOMPARE(interface->open(0), hid::kSuccess);
  QCOMPARE(interface->open(0), hid::kSuccess);
  QCOMPARE(PinworthWriteToInterface(interface, 4, kData0), hid::kSuccess);
  QCOMPARE(PinworthWriteToInterface(interface, 4, kData0), hid::kSuccess);
  QCOMPARE(node.openCalls(), 1);
  uint8_t data[4];
  QCOMPARE(PinworthReadFromInterface(interface, 0, 4, data), hid::kSuccess);
  QCOMPARE(node.openCalls(), 1);
  QTRY_COMPARE(node.openClients(), 0);
  QCOMPARE(interface->close(), hid::kErrorNotOpen);
}

// The call returns after about its 50 ms with the timeout status. While the
// request is stuck, the next one fails at once and nothing piles up; once
// the device answers, the interface works again.
void HidrawTransferTest::writeTheDeviceNeverAnswers() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  FakeHidrawNode &node = lib.testbed.node("1-4", 1);
  hid::DeviceInterface *interface = ListedInterface(1);
  node.setStalled(true);

  hid::Status status = hid::kSuccess;
  qint64 elapsed = Duration(
      [&] { status = PinworthWriteToInterface(interface, 8, kReport1); });
  QCOMPARE(status, hid::kErrorTimeout);
  QVERIFY2(elapsed >= 49 && elapsed < 250,
           qPrintable(QString::number(elapsed)));
  QCOMPARE(node.heldRequests(), 1);

  elapsed = Duration(
      [&] { status = PinworthWriteToInterface(interface, 8, kReport1); });
  QCOMPARE(status, hid::kErrorTimeout);
  QVERIFY2(elapsed < 49, qPrintable(QString::number(elapsed)));
  QCOMPARE(node.heldRequests(), 1);

  node.setStalled(false);
  node.answerHeldRequests();
  // Until the worker has taken the late answer, calls still fail at once.
  QVERIFY(QTest::qWaitFor([&] {
    status = PinworthWriteToInterface(interface, 8, kReport1);
    return status != hid::kErrorTimeout;
  }));
  QCOMPARE(status, hid::kSuccess);
  QCOMPARE(node.written().size(), size_t{2});
}

void HidrawTransferTest::readTheDeviceNeverAnswers() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  FakeHidrawNode &node = lib.testbed.node("1-4", 0);
  hid::DeviceInterface *interface = ListedInterface(0);
  node.setStalled(true);
  uint8_t data[4];

  hid::Status status = hid::kSuccess;
  qint64 elapsed = Duration(
      [&] { status = PinworthReadFromInterface(interface, 0, 4, data); });
  QCOMPARE(status, hid::kErrorTimeout);
  QVERIFY2(elapsed >= 49 && elapsed < 250,
           qPrintable(QString::number(elapsed)));
  elapsed = Duration(
      [&] { status = PinworthReadFromInterface(interface, 0, 4, data); });
  QCOMPARE(status, hid::kErrorTimeout);
  QVERIFY2(elapsed < 49, qPrintable(QString::number(elapsed)));
  QCOMPARE(node.inputRequests().size(), size_t{1});

  node.setInputReport({0x00, 1, 2, 3, 4});
  node.setStalled(false);
  node.answerHeldRequests();
  QVERIFY(QTest::qWaitFor([&] {
    status = PinworthReadFromInterface(interface, 0, 4, data);
    return status != hid::kErrorTimeout;
  }));
  QCOMPARE(status, hid::kSuccess);
  QCOMPARE(Bytes(data, data + 4), (Bytes{1, 2, 3, 4}));
  QCOMPARE(node.inputRequests().size(), size_t{2});
}

// Without the udev rule the node belongs to root: the status says so, and
// its text says how to get access.
void HidrawTransferTest::permissionDenied() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  hid::DeviceInterface *interface = ListedInterface(0);
  lib.testbed.denyAccess("1-4", 0);

  hid::Status status = hid::kSuccess;
  std::string printed = CaptureStderr([&] {
    WithoutPermissionOverride asUser;
    status = PinworthWriteToInterface(interface, 4, kData0);
  });
  QCOMPARE(status, hid::kErrorNotPermitted);
  std::string text = hid::StatusString(hid::kErrorNotPermitted);
  QVERIFY2(text.find("udev rule") != std::string::npos, text.c_str());
  QCOMPARE(printed, "Could not open hid device interface - " + text +
                        "(e00002e2,738)\n");
  QVERIFY(lib.testbed.node("1-4", 0).written().empty());
}

void HidrawTransferTest::failuresBecomeStatuses_data() {
  QTest::addColumn<int>("error");
  QTest::addColumn<hid::Status>("status");
  QTest::newRow("ENODEV") << ENODEV << hid::kErrorNoDevice;
  QTest::newRow("ENXIO") << ENXIO << hid::kErrorNoDevice;
  QTest::newRow("ESHUTDOWN") << ESHUTDOWN << hid::kErrorNoDevice;
  QTest::newRow("EACCES") << EACCES << hid::kErrorNotPermitted;
  QTest::newRow("EPERM") << EPERM << hid::kErrorNotPermitted;
  QTest::newRow("EBUSY") << EBUSY << hid::kErrorExclusiveAccess;
  QTest::newRow("ETIMEDOUT") << ETIMEDOUT << hid::kErrorTimeout;
  QTest::newRow("ENOMEM") << ENOMEM << hid::kErrorNoMemory;
  QTest::newRow("EINVAL") << EINVAL << hid::kErrorBadArgument;
  QTest::newRow("ENOTTY") << ENOTTY << hid::kErrorUnsupported;
  QTest::newRow("EIO") << EIO << hid::kErrorIO;
  QTest::newRow("EPIPE") << EPIPE << hid::kErrorIO;
  QTest::newRow("EPROTO") << EPROTO << hid::kErrorIO;
  QTest::newRow("E2BIG") << E2BIG << hid::kErrorGeneral;
}

void HidrawTransferTest::failuresBecomeStatuses() {
  QFETCH(int, error);
  QFETCH(hid::Status, status);
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  lib.testbed.node("1-4", 0).failRequestsWith(error);
  lib.testbed.node("1-4", 1).failRequestsWith(error);
  uint8_t data[4];
  CaptureStderr([&] {
    QCOMPARE(PinworthWriteToInterface(ListedInterface(1), 8, kReport1), status);
    QCOMPARE(PinworthReadFromInterface(ListedInterface(0), 0, 4, data), status);
  });
}

// EIO from a node that has left sysfs means the device went away.
void HidrawTransferTest::ioErrorOfAGoneDeviceIsNoDevice() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  hid::DeviceInterface *interface = ListedInterface(1);
  QCOMPARE(PinworthWriteToInterface(interface, 8, kReport1), hid::kSuccess);
  FakeHidrawNode &node = lib.testbed.node("1-4", 1);
  lib.testbed.unplug("1-4");
  node.failRequestsWith(EIO);
  CaptureStderr([&] {
    QCOMPARE(PinworthWriteToInterface(interface, 8, kReport1),
             hid::kErrorNoDevice);
  });
}

QTEST_GUILESS_MAIN(HidrawTransferTest)
#include "tst_hidraw_transfer.moc"
