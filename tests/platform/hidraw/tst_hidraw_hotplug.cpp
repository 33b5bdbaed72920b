// Hot-plug over the hidraw backend: one callback per device change, only
// once the device is complete, only for Pinworth products, waiting for
// default mode; and what a removed device leaves behind.
#include "runloop/DefaultMode.h"
#include "tests/platform/hidraw/HidrawLibrary.h"

#include <QTest>

namespace {

constexpr uint16_t kA = kPinworthAProductID;
constexpr uint16_t kB = kPinworthBProductID;

int gCallbacks = 0;
void CountCallback(void *refCon) {
  gCallbacks++;
  QCOMPARE(refCon, static_cast<void *>(&gCallbacks));
}

// Arms a handle; what reaches it is not looked at.
void IgnoreReport(void *, hid::Status, void *, void *, uint32_t) {}

// Events are read in order: once the arrival of a device plugged last has
// been reported, every event before it has been handled. A callback too many
// would be reported with it.
void PlugMarkerAndWait(HidrawLibrary &lib, int expectedCallbacks) {
  lib.testbed.plugPinworth("2-1", kB, "99");
  QTRY_VERIFY(gCallbacks >= expectedCallbacks);
  QTest::qWait(50);
  QCOMPARE(gCallbacks, expectedCallbacks);
}

} // namespace

class HidrawHotplugTest : public QObject {
  Q_OBJECT

  std::unique_ptr<HidrawLibrary> lib_;

private slots:
  void init() { gCallbacks = 0; }
  void cleanup() { lib_.reset(); }

  void attachedBeforeStartIsNotReported() {
    HidrawTestbed testbed;
    testbed.plugPinworth("1-4", kA, "5");
    hid::hidraw::HidrawBackend backend;
    hid::SetBackend(&backend);
    QCOMPARE(PinworthInit(), 0);
    PinworthSetDeviceCallback(CountCallback, &gCallbacks);
    DeliverPendingEvents();
    QCOMPARE(gCallbacks, 0);
    QCOMPARE(ListedNodes(), (QList<NodeSummary>{{kPinworthAInterface0, 5},
                                                {kPinworthAInterface1, 5}}));
    PinworthSetDeviceCallback(nullptr, nullptr);
    PinworthClearInterfaceList();
    QVERIFY(QTest::qWaitFor([&] { return testbed.allNodesClosed(); }));
    hid::SetBackend(nullptr);
  }

  // The USB device comes first and its interfaces are bound one by one: a
  // search before the last hidraw node exists would find half a device. A
  // device that leaves before it was complete was never reported, and its
  // removal is not either.
  void arrivalReportedOnceCompleteRemovalOnlyIfArrived() {
    lib_ = std::make_unique<HidrawLibrary>();
    PinworthSetDeviceCallback(CountCallback, &gCallbacks);
    lib_->testbed.addUsbDevice("1-4", kTestVendorID, kA, "12", 2);
    lib_->testbed.addHidInterface("1-4", 0,
                                  pinworth::Interface0ReportDescriptor());
    lib_->testbed.addUsbDevice("1-5", kTestVendorID, kA, "13", 2);
    lib_->testbed.addHidInterface("1-5", 0,
                                  pinworth::Interface0ReportDescriptor());
    lib_->testbed.unplug("1-5");
    PlugMarkerAndWait(*lib_, 1);
    lib_->testbed.addHidInterface("1-4", 1,
                                  pinworth::Interface1ReportDescriptor());
    QTRY_COMPARE(gCallbacks, 2);
    QCOMPARE(ListedNodes(), (QList<NodeSummary>{{kPinworthAInterface0, 12},
                                                {kPinworthAInterface1, 12},
                                                {kPinworthBInterface0, 99},
                                                {kPinworthBInterface1, 99}}));
  }

  // A handle taken before the removal fails with the no-device status. The
  // kernel keeps a removed node readable (every read fails): the interrupt
  // source must leave the event loop, not spin on it. What reaches a handler
  // after the removal is the interrupt contract's to check. Without udevd
  // the failed read alone reports the removal, and udev's events, should
  // they come later, report nothing more.
  void removedDeviceFailsAndGoesQuiet_data() {
    QTest::addColumn<bool>("udevd");
    QTest::newRow("with udevd") << true;
    QTest::newRow("without udevd") << false;
  }
  void removedDeviceFailsAndGoesQuiet() {
    QFETCH(bool, udevd);
    lib_ = std::make_unique<HidrawLibrary>();
    PinworthSetDeviceCallback(CountCallback, &gCallbacks);
    lib_->testbed.plugPinworth("1-4", kA, "1");
    QTRY_COMPARE(gCallbacks, 1);
    hid::DeviceInterface *interface1 = ListedInterface(1);
    uint8_t buffer[8] = {0x01};
    QCOMPARE(PinworthSetInterruptCallback(interface1, buffer, 8, IgnoreReport,
                                          nullptr),
             hid::kSuccess);
    FakeHidrawNode &node = lib_->testbed.node("1-4", 1);
    QTRY_COMPARE(node.openClients(), 2); // the handle's and its reader's

    const int readsBefore = node.readCalls();
    if (udevd)
      lib_->testbed.unplug("1-4");
    else
      lib_->testbed.disconnect("1-4");
    QTRY_COMPARE(gCallbacks, 2);
    QTRY_VERIFY(node.readCalls() > readsBefore);
    const int readsAfterRemoval = node.readCalls();
    QTest::qWait(200);
    QCOMPARE(node.readCalls(), readsAfterRemoval);
    QCOMPARE(PinworthWriteToInterface(interface1, 8, buffer),
             hid::kErrorNoDevice);
    if (!udevd)
      lib_->testbed.unplug("1-4");
    PlugMarkerAndWait(*lib_, 3);
  }

  void otherProductsAreNotReported() {
    lib_ = std::make_unique<HidrawLibrary>();
    PinworthSetDeviceCallback(CountCallback, &gCallbacks);
    lib_->testbed.addUsbDevice("1-4", kTestVendorID, 0x0033, "1", 1);
    lib_->testbed.addHidInterface("1-4", 0,
                                  pinworth::Interface0ReportDescriptor());
    lib_->testbed.addUsbDevice("1-5", 0x046d, kA, "1", 1);
    lib_->testbed.addHidInterface("1-5", 0,
                                  pinworth::Interface0ReportDescriptor());
    lib_->testbed.unplug("1-4");
    lib_->testbed.unplug("1-5");
    PlugMarkerAndWait(*lib_, 1);
  }

  // While a modal scope is open the monitor is still read; the callbacks wait
  // and then come in order, one per change.
  void notificationsWaitForDefaultMode() {
    lib_ = std::make_unique<HidrawLibrary>();
    PinworthSetDeviceCallback(CountCallback, &gCallbacks);
    {
      runloop::ModalScope modal;
      lib_->testbed.plugPinworth("1-4", kA, "1");
      lib_->testbed.plugPinworth("1-5", kB, "2");
      lib_->testbed.unplug("1-4");
      QTest::qWait(100);
      QCOMPARE(gCallbacks, 0);
    }
    QTRY_COMPARE(gCallbacks, 3);
    QCOMPARE(ListedNodes(), (QList<NodeSummary>{{kPinworthBInterface0, 2},
                                                {kPinworthBInterface1, 2}}));
  }
};

QTEST_GUILESS_MAIN(HidrawHotplugTest)
#include "tst_hidraw_hotplug.moc"
