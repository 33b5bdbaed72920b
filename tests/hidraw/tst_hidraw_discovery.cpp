// Discovery over the hidraw backend: what the library lists for emulated
// USB devices, and the property tables the search hands it.
#include "HidrawLibrary.h"

#include <QTest>

using hid::PropertyTable;

namespace {

constexpr uint16_t kA = kPinworthAProductID;
constexpr uint16_t kB = kPinworthBProductID;

// The services of a search for the vendor, in order.
std::vector<std::shared_ptr<hid::Service>> SearchVendor(hid::Backend &backend) {
  hid::MasterPort port = 0;
  backend.getMasterPort(&port);
  std::unique_ptr<hid::MatchingDictionary> matching =
      backend.serviceMatching("IOHIDDevice");
  matching->numbers["VendorID"] = kPinworthVendorID;
  std::unique_ptr<hid::ObjectIterator> iterator;
  std::vector<std::shared_ptr<hid::Service>> services;
  if (backend.getMatchingServices(port, *matching, iterator) != hid::kSuccess)
    return services;
  while (std::shared_ptr<hid::Object> object = iterator->next())
    services.push_back(std::dynamic_pointer_cast<hid::Service>(object));
  return services;
}

} // namespace

class HidrawDiscoveryTest : public QObject {
  Q_OBJECT

private slots:
  void noDevice();
  void twoDevicesInBusOrder();
  void interfaceOneBoundFirst();
  void foreignProductInBetween();
  void otherVendorIsNotSearched();
  void portsCompareAsNumbers();
  void deviceWithoutSerial();
  void propertyTableComesFromTheUsbDevice();
  void propertyTableOfAGoneDeviceCannotBeRead();
};

void HidrawDiscoveryTest::noDevice() {
  HidrawLibrary lib;
  QCOMPARE(PinworthCountInterfaces(), 0);
  QCOMPARE(PinworthIsPresent(), 0);
}

void HidrawDiscoveryTest::twoDevicesInBusOrder() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-5", kB, "2000");
  lib.testbed.plugPinworth("1-4", kA, "1000");
  QList<NodeSummary> expected{{kPinworthAInterface0, 1000},
                              {kPinworthAInterface1, 1000},
                              {kPinworthBInterface0, 2000},
                              {kPinworthBInterface1, 2000}};
  QCOMPARE(ListedNodes(), expected);
}

// Interface 1 got the lower hidraw number; the order still follows the
// interface numbers.
void HidrawDiscoveryTest::interfaceOneBoundFirst() {
  HidrawLibrary lib;
  lib.testbed.addUsbDevice("1-4", kTestVendorID, kA, "7", 2);
  lib.testbed.addHidInterface("1-4", 1, PinworthInterface1Descriptor());
  lib.testbed.addHidInterface("1-4", 0, PinworthInterface0Descriptor());
  QCOMPARE(lib.testbed.node("1-4", 1).devnode(), "/dev/hidraw0");
  QList<NodeSummary> expected{{kPinworthAInterface0, 7},
                              {kPinworthAInterface1, 7}};
  QCOMPARE(ListedNodes(), expected);
}

// A device of the same vendor with another product and a single HID
// interface sits on the bus between the two Pinworth devices. It must not
// shift the typing of the device after it.
void HidrawDiscoveryTest::foreignProductInBetween() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  lib.testbed.addUsbDevice("1-5", kTestVendorID, 0x0033, "9", 1);
  lib.testbed.addHidInterface("1-5", 0, PinworthInterface0Descriptor());
  lib.testbed.plugPinworth("1-6", kB, "2");
  QList<NodeSummary> expected{{kPinworthAInterface0, 1},
                              {kPinworthAInterface1, 1},
                              {kPinworthBInterface0, 2},
                              {kPinworthBInterface1, 2}};
  QCOMPARE(ListedNodes(), expected);
  QCOMPARE(SearchVendor(lib.backend).size(), size_t{5});
}

void HidrawDiscoveryTest::otherVendorIsNotSearched() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  lib.testbed.addUsbDevice("1-5", 0x046d, 0xc077, "9", 1);
  lib.testbed.addHidInterface("1-5", 0, PinworthInterface0Descriptor());
  lib.testbed.plugPinworth("1-6", kB, "2");
  QCOMPARE(SearchVendor(lib.backend).size(), size_t{4});
  QList<NodeSummary> expected{{kPinworthAInterface0, 1},
                              {kPinworthAInterface1, 1},
                              {kPinworthBInterface0, 2},
                              {kPinworthBInterface1, 2}};
  QCOMPARE(ListedNodes(), expected);
}

// Port 9 comes before port 10, and the device behind port 2 of the hub on
// port 9 right after the one on port 9 itself.
void HidrawDiscoveryTest::portsCompareAsNumbers() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-10", kA, "3");
  lib.testbed.plugPinworth("1-9", kA, "1");
  lib.testbed.plugPinworth("1-9.2", kB, "2");
  QList<NodeSummary> expected{
      {kPinworthAInterface0, 1}, {kPinworthAInterface1, 1},
      {kPinworthBInterface0, 2}, {kPinworthBInterface1, 2},
      {kPinworthAInterface0, 3}, {kPinworthAInterface1, 3}};
  QCOMPARE(ListedNodes(), expected);
}

void HidrawDiscoveryTest::deviceWithoutSerial() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kB, std::nullopt);
  QList<NodeSummary> expected{{kPinworthBInterface0, 0},
                              {kPinworthBInterface1, 0}};
  QCOMPARE(ListedNodes(), expected);
}

void HidrawDiscoveryTest::propertyTableComesFromTheUsbDevice() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kB, "0042");
  lib.testbed.plugPinworth("1-5", kA, std::nullopt);
  std::vector<std::shared_ptr<hid::Service>> services =
      SearchVendor(lib.backend);
  QCOMPARE(services.size(), size_t{4});

  PropertyTable table;
  QCOMPARE(services[1]->copyProperties(table), hid::kSuccess);
  QCOMPARE(table.vendorID, std::optional<int32_t>(kPinworthVendorID));
  QCOMPARE(table.productID, std::optional<int32_t>(kB));
  QCOMPARE(table.serialNumber, std::optional<std::string>("0042"));

  QCOMPARE(services[2]->copyProperties(table), hid::kSuccess);
  QCOMPARE(table.productID, std::optional<int32_t>(kA));
  QVERIFY(!table.serialNumber);

  std::string className;
  QCOMPARE(services[0]->getClassName(className), hid::kSuccess);
  QCOMPARE(className, "IOHIDDevice");
}

void HidrawDiscoveryTest::propertyTableOfAGoneDeviceCannotBeRead() {
  HidrawLibrary lib;
  lib.testbed.plugPinworth("1-4", kA, "1");
  std::vector<std::shared_ptr<hid::Service>> services =
      SearchVendor(lib.backend);
  QCOMPARE(services.size(), size_t{2});
  lib.testbed.unplug("1-4");
  PropertyTable table;
  QCOMPARE(services[0]->copyProperties(table), hid::kErrorNoDevice);
}

QTEST_GUILESS_MAIN(HidrawDiscoveryTest)
#include "tst_hidraw_discovery.moc"
