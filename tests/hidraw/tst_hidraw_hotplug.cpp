// Hot-plug over the hidraw backend: one callback per device change, only
// once the device is complete, only for Pinworth products, waiting for
// default mode; and what a removed device leaves behind.
#include "HidrawLibrary.h"
#include "runloop/DefaultMode.h"

#include <QTest>

namespace {

constexpr uint16_t kA = kPinworthAProductID;
constexpr uint16_t kB = kPinworthBProductID;

int gCallbacks = 0;
void *gCallbackRefCon = nullptr;

void CountCallback(void *refCon) {
  gCallbacks++;
  gCallbackRefCon = refCon;
}

int gReports = 0;
void CountReport(void *, hid::Status, void *, void *, uint32_t) {
  gReports++;
}

// Events are read in order: once the arrival of a device plugged last has
// been reported, every event before it has been handled.
void PlugMarkerAndWait(HidrawLibrary &lib, int expectedCallbacks) {
  lib.testbed.plugPinworth("2-1", kB, "99");
  QTRY_COMPARE(gCallbacks, expectedCallbacks);
}

} // namespace

class HidrawHotplugTest : public QObject {
  Q_OBJECT

private slots:
  void init();
  void attachedBeforeStartIsNotReported();
  void arrivalReportedOnceComplete();
  void oneCallbackPerArrival();
  void removalReportedOnce();
  void transfersOfARemovedDeviceFail();
  void armedInterfaceGoesQuietOnRemoval();
  void otherProductsAreNotReported();
  void notificationsWaitForDefaultMode();
};

void HidrawHotplugTest::init() {
  gCallbacks = 0;
  gCallbackRefCon = nullptr;
  gReports = 0;
}

void HidrawHotplugTest::attachedBeforeStartIsNotReported() {
  HidrawTestbed testbed;
  testbed.plugPinworth("1-4", kA, "5");
  hid::hidraw::HidrawBackend backend;
  hid::SetBackend(&backend);
  QCOMPARE(PinworthInit(), 0);
  PinworthSetDeviceCallback(CountCallback, &gCallbacks);
  DeliverPendingEvents();
  QCOMPARE(gCallbacks, 0);
  QList<NodeSummary> expected{{kPinworthAInterface0, 5},
                              {kPinworthAInterface1, 5}};
  QCOMPARE(ListedNodes(), expected);
  PinworthSetDeviceCallback(nullptr, nullptr);
  PinworthClearInterfaceList();
  QVERIFY(QTest::qWaitFor([&] { return testbed.allNodesClosed(); }));
  hid::SetBackend(nullptr);
}

// The USB device comes first and its interfaces are bound one by one: a
// search before the last hidraw node exists would find half a device.
void HidrawHotplugTest::arrivalReportedOnceComplete() {
  HidrawLibrary lib;
  PinworthSetDeviceCallback(CountCallback, &gCallbacks);
  QCOMPARE(PinworthCountInterfaces(), 0);

  lib.testbed.addUsbDevice("1-4", kTestVendorID, kA, "12", 2);
  lib.testbed.addHidInterface("1-4", 0, PinworthInterface0Descriptor());
  PlugMarkerAndWait(lib, 1);

  lib.testbed.addHidInterface("1-4", 1, PinworthInterface1Descriptor());
  QTRY_COMPARE(gCallbacks, 2);
  QCOMPARE(gCallbackRefCon, &gCallbacks);
  QList<NodeSummary> expected{{kPinworthAInterface0, 12},
                              {kPinworthAInterface1, 12},
                              {kPinworthBInterface0, 99},
                              {kPinworthBInterface1, 99}};
  QCOMPARE(ListedNodes(), expected);
}

void HidrawHotplugTest::oneCallbackPerArrival() {
  HidrawLibrary lib;
  PinworthSetDeviceCallback(CountCallback, nullptr);
  lib.testbed.plugPinworth("1-4", kA, "1");
  QTRY_COMPARE(gCallbacks, 1);
  PlugMarkerAndWait(lib, 2);
  QCOMPARE(PinworthCountInterfaces(), 4);
}

void HidrawHotplugTest::removalReportedOnce() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  PinworthSetDeviceCallback(CountCallback, nullptr);
  DeliverPendingEvents();
  QCOMPARE(PinworthCountInterfaces(), 2);
  gCallbacks = 0;

  lib.testbed.unplug("1-4");
  QTRY_COMPARE(gCallbacks, 1);
  // Its nodes stay listed until somebody asks again.
  QCOMPARE(PinworthInterfaceListNodeAtIndex(1)->serialNumber, 1);
  PlugMarkerAndWait(lib, 2);
  QList<NodeSummary> expected{{kPinworthBInterface0, 99},
                              {kPinworthBInterface1, 99}};
  QCOMPARE(ListedNodes(), expected);
}

// Handles taken before the removal stay safe: every transfer fails with the
// no-device status, whether the handle was open or not.
void HidrawHotplugTest::transfersOfARemovedDeviceFail() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  hid::DeviceInterface *interface0 = ListedInterface(0);
  hid::DeviceInterface *interface1 = ListedInterface(1);
  uint8_t data[8] = {0x01, 2, 3, 4, 5, 6, 7, 8};
  QCOMPARE(PinworthWriteToInterface(interface1, 8, data), hid::kSuccess);

  PinworthSetDeviceCallback(CountCallback, nullptr);
  lib.testbed.unplug("1-4");
  QTRY_COMPARE(gCallbacks, 1);

  uint8_t buffer[4];
  QCOMPARE(PinworthWriteToInterface(interface1, 8, data), hid::kErrorNoDevice);
  QCOMPARE(PinworthWriteToInterface(interface0, 4, data), hid::kErrorNoDevice);
  QCOMPARE(PinworthReadFromInterface(interface0, 0, 4, buffer),
           hid::kErrorNoDevice);
  QCOMPARE(
      PinworthSetInterruptCallback(interface1, buffer, 4, CountReport, nullptr),
      hid::kErrorNoDevice);
  QCOMPARE(PinworthCountInterfaces(), 0);
}

// The kernel keeps a removed node readable (every read fails): the interrupt
// source must leave the event loop instead of spinning on it.
void HidrawHotplugTest::armedInterfaceGoesQuietOnRemoval() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  hid::DeviceInterface *interface1 = ListedInterface(1);
  uint8_t buffer[8];
  QCOMPARE(PinworthSetInterruptCallback(interface1, buffer, sizeof buffer,
                                        CountReport, nullptr),
           hid::kSuccess);
  FakeHidrawNode &node = lib.testbed.node("1-4", 1);
  node.sendInterruptReport({0x0C, 1, 2, 3, 4, 5, 6, 7});
  QTRY_COMPARE(gReports, 1);

  int readsBefore = node.readCalls();
  lib.testbed.unplug("1-4");
  QTRY_VERIFY(node.readCalls() > readsBefore);
  int readsAfterRemoval = node.readCalls();
  QTest::qWait(200);
  QCOMPARE(node.readCalls(), readsAfterRemoval);
  QCOMPARE(gReports, 1);
  uint8_t data[8] = {0x01};
  QCOMPARE(PinworthWriteToInterface(interface1, 8, data), hid::kErrorNoDevice);
}

void HidrawHotplugTest::otherProductsAreNotReported() {
  HidrawLibrary lib;
  PinworthSetDeviceCallback(CountCallback, nullptr);
  lib.testbed.addUsbDevice("1-4", kTestVendorID, 0x0033, "1", 1);
  lib.testbed.addHidInterface("1-4", 0, PinworthInterface0Descriptor());
  lib.testbed.addUsbDevice("1-5", 0x046d, kA, "1", 1);
  lib.testbed.addHidInterface("1-5", 0, PinworthInterface0Descriptor());
  PlugMarkerAndWait(lib, 1);
  lib.testbed.unplug("1-4");
  lib.testbed.unplug("1-5");
  lib.testbed.unplug("2-1");
  QTRY_COMPARE(gCallbacks, 2);
  lib.testbed.plugPinworth("2-2", kA, "98");
  QTRY_COMPARE(gCallbacks, 3);
}

// While a modal scope is open the monitor is still read; the callbacks wait
// and then come in order, one per change.
void HidrawHotplugTest::notificationsWaitForDefaultMode() {
  HidrawLibrary lib;
  PinworthSetDeviceCallback(CountCallback, nullptr);
  {
    runloop::ModalScope modal;
    lib.testbed.plugPinworth("1-4", kA, "1");
    lib.testbed.plugPinworth("1-5", kB, "2");
    lib.testbed.unplug("1-4");
    QTest::qWait(100);
    QCOMPARE(gCallbacks, 0);
  }
  QTRY_COMPARE(gCallbacks, 3);
  QList<NodeSummary> expected{{kPinworthBInterface0, 2},
                              {kPinworthBInterface1, 2}};
  QCOMPARE(ListedNodes(), expected);
}

QTEST_GUILESS_MAIN(HidrawHotplugTest)
#include "tst_hidraw_hotplug.moc"
