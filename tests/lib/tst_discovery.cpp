// Discovery: typing by position and model, serial numbers, and the messages
// of each failure on standard error.
#include "LibTestSupport.h"

#include <QtTest>

using hid::sim::Model;

// A PinworthA with serial 1 and a PinworthB with serial 2, typed right.
const QList<NodeSummary> kDeviceOneAndTwo{{kPinworthAInterface0, 1},
                                          {kPinworthAInterface1, 1},
                                          {kPinworthBInterface0, 2},
                                          {kPinworthBInterface1, 2}};

class DiscoveryTest : public QObject {
  Q_OBJECT

private slots:
  void typesFollowModelAndPosition();
  void foreignProductShiftsParity();
  void otherVendorIsNotSearched();
  void unreadablePropertiesDoNotShiftParity();
  void missingIDsSkipButCountThePosition();
  void interfaceWithoutHandleIsMissing();
  void serialNumbers_data();
  void serialNumbers();
  void failureMessages_data();
  void failureMessages();
  void statusMessageFormat();
  void statusZeroPrintsNothing();
};

void DiscoveryTest::typesFollowModelAndPosition() {
  SimulatedLibrary lib;
  lib.backend.attach(Model::PinworthA, "1000");
  lib.backend.attach(Model::PinworthB, "2000");
  QList<NodeSummary> expected{{kPinworthAInterface0, 1000},
                              {kPinworthAInterface1, 1000},
                              {kPinworthBInterface0, 2000},
                              {kPinworthBInterface1, 2000}};
  QCOMPARE(ListedNodes(), expected);
}

void DiscoveryTest::foreignProductShiftsParity() {
  SimulatedLibrary lib;
  hid::sim::DeviceID a = lib.backend.attach(Model::PinworthA, "1");
  lib.backend.insertForeignServiceAfter(a, 0, kPinworthVendorID, 0x0033);
  lib.backend.attach(Model::PinworthB, "2");
  QList<NodeSummary> expected{{kPinworthAInterface0, 1},
                              {kPinworthAInterface0, 1},
                              {kPinworthBInterface1, 2},
                              {kPinworthBInterface0, 2}};
  QCOMPARE(ListedNodes(), expected);
}

void DiscoveryTest::otherVendorIsNotSearched() {
  SimulatedLibrary lib;
  lib.backend.attach(Model::PinworthA, "1");
  lib.backend.insertForeignService(0x046d, 0x0001);
  lib.backend.attach(Model::PinworthB, "2");
  QCOMPARE(ListedNodes(), kDeviceOneAndTwo);
}

void DiscoveryTest::unreadablePropertiesDoNotShiftParity() {
  SimulatedLibrary lib;
  lib.backend.attach(Model::PinworthA, "1");
  hid::sim::ServiceID foreign =
      lib.backend.insertForeignService(kPinworthVendorID, 0x0033);
  lib.backend.foreignFaults(foreign).propertiesUnreadable = true;
  lib.backend.attach(Model::PinworthB, "2");
  QCOMPARE(ListedNodes(), kDeviceOneAndTwo);
}

void DiscoveryTest::missingIDsSkipButCountThePosition() {
  SimulatedLibrary lib;
  hid::sim::DeviceID a = lib.backend.attach(Model::PinworthA, "1");
  hid::sim::DeviceID b = lib.backend.attach(Model::PinworthB, "2");
  lib.backend.faults(a, 0).vendorIDMissing = true;
  lib.backend.faults(b, 1).productIDMissing = true;
  QList<NodeSummary> expected{{kPinworthAInterface1, 1},
                              {kPinworthBInterface0, 2}};
  QCOMPARE(ListedNodes(), expected);
}

void DiscoveryTest::interfaceWithoutHandleIsMissing() {
  SimulatedLibrary lib;
  hid::sim::DeviceID a = lib.backend.attach(Model::PinworthA, "1");
  hid::sim::DeviceID b = lib.backend.attach(Model::PinworthB, "2");
  lib.backend.faults(a, 0).plugInStatus = hid::kErrorNoMemory;
  lib.backend.faults(b, 0).queryStatus = hid::kErrorUnsupported;
  QList<NodeSummary> expected{{kPinworthAInterface1, 1},
                              {kPinworthBInterface1, 2}};
  CaptureStderr([&] { QCOMPARE(ListedNodes(), expected); });
}

void DiscoveryTest::serialNumbers_data() {
  QTest::addColumn<std::optional<std::string>>("text");
  QTest::addColumn<int>("serial");
  QTest::newRow("decimal") << std::optional<std::string>("123") << 123;
  QTest::newRow("low 16 bits") << std::optional<std::string>("70000") << 4464;
  QTest::newRow("read as signed")
      << std::optional<std::string>("40000") << -25536;
  QTest::newRow("negative") << std::optional<std::string>("-7") << -7;
  QTest::newRow("leading blanks and trailing text")
      << std::optional<std::string>("  42abc") << 42;
  QTest::newRow("no leading digits")
      << std::optional<std::string>("A1000") << 0;
  QTest::newRow("empty") << std::optional<std::string>("") << 0;
  QTest::newRow("too long for 32 bits saturates")
      << std::optional<std::string>("99999999999999999999") << -1;
  QTest::newRow("absent") << std::optional<std::string>() << 0;
}

void DiscoveryTest::serialNumbers() {
  QFETCH(std::optional<std::string>, text);
  QFETCH(int, serial);
  SimulatedLibrary lib;
  lib.backend.attach(Model::PinworthA, text);
  QCOMPARE(PinworthCountInterfaces(), 2);
  QCOMPARE(PinworthInterfaceListNodeAtIndex(0)->serialNumber, serial);
  QCOMPARE(PinworthInterfaceListNodeAtIndex(1)->serialNumber, serial);
}

using FaultSetter =
    std::function<void(hid::sim::SimBackend &, hid::sim::DeviceID)>;
Q_DECLARE_METATYPE(FaultSetter)

void DiscoveryTest::failureMessages_data() {
  QTest::addColumn<FaultSetter>("fault");
  QTest::addColumn<QByteArray>("message");
  QTest::addColumn<int>("count");
  QTest::newRow("master port")
      << FaultSetter([](auto &b, auto) {
           b.searchFaults().masterPortStatus = hid::kErrorExclusiveAccess;
         })
      << QByteArray("Couldn’t create a master I/O Kit Port. - device busy: "
                    "another program has it open for exclusive "
                    "access(e00002c5,709)\n")
      << 0;
  QTest::newRow("matching dictionary")
      << FaultSetter(
             [](auto &b, auto) { b.searchFaults().hidMatchingFails = true; })
      << QByteArray("Failed to get HID CFMutableDictionaryRef via "
                    "IOServiceMatching.\nCouldn’t create a matching "
                    "dictionary.\n")
      << 0;
  QTest::newRow("search") << FaultSetter([](auto &b, auto) {
    b.searchFaults().searchStatus = hid::kErrorGeneral;
  }) << QByteArray("Couldn’t create a HID object iterator.\n")
                          << 0;
  QTest::newRow("class name")
      << FaultSetter([](auto &b, auto d) {
           b.faults(d, 1).classNameStatus = hid::kErrorUnsupported;
         })
      << QByteArray("Failed to get class name. - operation not supported by "
                    "the device(e00002c7,711)\n")
      << 2;
  QTest::newRow("plug-in") << FaultSetter([](auto &b, auto d) {
    b.faults(d, 0).plugInStatus = hid::kErrorNoMemory;
  })
                           << QByteArray(
                                  "Failed to create **plugInInterface via "
                                  "IOCreatePlugInInterfaceForService.\n")
                           << 1;
  QTest::newRow("interface query")
      << FaultSetter([](auto &b, auto d) {
           b.faults(d, 1).queryStatus = hid::kErrorUnsupported;
         })
      << QByteArray(
             "Couldn’t query HID class device interface from plugInInterface\n")
      << 1;
  QTest::newRow("property table, silent") << FaultSetter([](auto &b, auto d) {
    b.faults(d, 0).propertiesUnreadable = true;
  }) << QByteArray() << 1;
}

void DiscoveryTest::failureMessages() {
  QFETCH(FaultSetter, fault);
  QFETCH(QByteArray, message);
  QFETCH(int, count);
  SimulatedLibrary lib;
  hid::sim::DeviceID device = lib.backend.attach(Model::PinworthA, "1");
  fault(lib.backend, device);
  int listed = -1;
  std::string written =
      CaptureStderr([&] { listed = PinworthCountInterfaces(); });
  QCOMPARE(QByteArray::fromStdString(written), message);
  QCOMPARE(listed, count);
}

void DiscoveryTest::statusMessageFormat() {
  std::string written = CaptureStderr(
      [] { PrintErrMsgIfIOErr(hid::kErrorTimeout, "Could not do it"); });
  QCOMPARE(written, std::string("Could not do it - timed out: the device did "
                                "not answer(e00002d6,726)\n"));
}

void DiscoveryTest::statusZeroPrintsNothing() {
  QCOMPARE(CaptureStderr([] { PrintErrMsgIfIOErr(0, "nothing"); }),
           std::string());
}

QTEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
