// Discovery over the hidraw backend: what the library lists for emulated
// USB devices, and the property tables the search hands it.
#include "tests/platform/hidraw/HidrawLibrary.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr uint16_t kA = kPinworthAProductID;
constexpr uint16_t kB = kPinworthBProductID;
using Setup = std::function<void(HidrawTestbed &)>;

// The services of a search for the vendor, in order.
std::vector<std::shared_ptr<hid::Service>> SearchVendor(hid::Backend &backend) {
  hid::MasterPort port = 0;
  backend.getMasterPort(&port);
  std::unique_ptr<hid::MatchingDictionary> matching =
      backend.serviceMatching("IOHIDDevice");
  matching->numbers["VendorID"] = kPinworthVendorID;
  std::unique_ptr<hid::ObjectIterator> iterator;
  std::vector<std::shared_ptr<hid::Service>> services;
  if (backend.getMatchingServices(port, *matching, iterator) == hid::kSuccess)
    while (std::shared_ptr<hid::Object> object = iterator->next())
      services.push_back(std::dynamic_pointer_cast<hid::Service>(object));
  return services;
}

// A device of the vendor, or of another, with one HID interface.
void PlugOther(HidrawTestbed &testbed, const std::string &port,
               uint16_t vendorID) {
  testbed.addUsbDevice(port, vendorID, 0x0033, "9", 1);
  testbed.addHidInterface(port, 0, pinworth::Interface0ReportDescriptor());
}

} // namespace

Q_DECLARE_METATYPE(Setup)

class HidrawDiscoveryTest : public QObject {
  Q_OBJECT

private slots:
  void listing_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QList<NodeSummary>>("nodes");
    QTest::addColumn<int>("services");
    const int A0 = kPinworthAInterface0, A1 = kPinworthAInterface1,
              B0 = kPinworthBInterface0, B1 = kPinworthBInterface1;
    QTest::newRow("none") << Setup([](HidrawTestbed &) {})
                          << QList<NodeSummary>{} << 0;
    // A lone interface of another product stands between the two devices:
    // it must not shift the typing of the device after it.
    QTest::newRow("bus order, other product between, other vendor")
        << Setup([](HidrawTestbed &t) {
             t.plugPinworth("1-7", kB, "2000");
             PlugOther(t, "1-5", kTestVendorID);
             PlugOther(t, "1-6", 0x046d);
             t.plugPinworth("1-4", kA, "1000");
           })
        << QList<NodeSummary>{{A0, 1000}, {A1, 1000}, {B0, 2000}, {B1, 2000}}
        << 5;
    QTest::newRow("interface 1 bound first, no serial")
        << Setup([](HidrawTestbed &t) {
             t.addUsbDevice("1-4", kTestVendorID, kA, std::nullopt, 2);
             t.addHidInterface("1-4", 1,
                               pinworth::Interface1ReportDescriptor());
             t.addHidInterface("1-4", 0,
                               pinworth::Interface0ReportDescriptor());
           })
        << QList<NodeSummary>{{A0, 0}, {A1, 0}} << 2;
    // Port 9 before port 10, and port 2 of the hub on port 9 right after 9.
    QTest::newRow("ports compare as numbers") << Setup([](HidrawTestbed &t) {
      t.plugPinworth("1-10", kA, "3");
      t.plugPinworth("1-9", kA, "1");
      t.plugPinworth("1-9.2", kB, "2");
    }) << QList<NodeSummary>{{A0, 1}, {A1, 1}, {B0, 2},
                             {B1, 2}, {A0, 3}, {A1, 3}}
                                              << 6;
  }

  void listing() {
    QFETCH(Setup, setup);
    QFETCH(QList<NodeSummary>, nodes);
    QFETCH(int, services);
    HidrawLibrary lib;
    setup(lib.testbed);
    QCOMPARE(ListedNodes(), nodes);
    QCOMPARE(int(SearchVendor(lib.backend).size()), services);
  }

  // The table comes from the USB device, its interface and the node, and
  // cannot be read once it is gone; a handle tells the same.
  void propertyTables() {
    HidrawLibrary lib;
    lib.testbed.plugPinworth("1-4", kB, "0042");
    PlugOther(lib.testbed, "1-5", kTestVendorID);
    const auto services = SearchVendor(lib.backend);
    hid::PropertyTable table;
    QCOMPARE(services[1]->copyProperties(table), hid::kSuccess);
    QCOMPARE(table.vendorID, std::optional<int32_t>(kPinworthVendorID));
    QCOMPARE(table.productID, std::optional<int32_t>(kB));
    QCOMPARE(table.serialNumber, std::optional<std::string>("0042"));
    QCOMPARE(table.interfaceNumber, std::optional<int32_t>(1));
    QCOMPARE(table.manufacturer, std::optional<std::string>("Pinworth"));
    QCOMPARE(table.product, std::optional<std::string>("PinworthB"));
    QCOMPARE(table.nodePath, lib.testbed.node("1-4", 1).devnode());
    hid::PropertyTable fromHandle;
    QCOMPARE(ListedInterface(1)->copyProperties(fromHandle), hid::kSuccess);
    QCOMPARE(fromHandle.nodePath, table.nodePath);
    QCOMPARE(services[2]->copyProperties(table), hid::kSuccess);
    QCOMPARE(table.productID, std::optional<int32_t>(0x0033));
    QVERIFY(!table.manufacturer && !table.product);
    lib.testbed.unplug("1-4");
    QCOMPARE(services[0]->copyProperties(table), hid::kErrorNoDevice);
  }

  // The report descriptor from sysfs, and from the kernel's driver through
  // an open handle; none once the device is gone.
  void reportDescriptors() {
    HidrawLibrary lib;
    lib.testbed.plugPinworth("1-4", kA, "1");
    const auto services = SearchVendor(lib.backend);
    std::vector<uint8_t> bytes;
    QCOMPARE(services[0]->copyReportDescriptor(bytes), hid::kSuccess);
    QCOMPARE(bytes, pinworth::Interface0ReportDescriptor());
    hid::DeviceInterface *interface1 = ListedInterface(1);
    QCOMPARE(interface1->copyReportDescriptor(bytes), hid::kSuccess);
    QCOMPARE(bytes, pinworth::Interface1ReportDescriptor());
    QCOMPARE(interface1->open(0), hid::kSuccess);
    bytes.clear();
    QCOMPARE(interface1->copyReportDescriptor(bytes), hid::kSuccess);
    QCOMPARE(bytes, pinworth::Interface1ReportDescriptor());
    interface1->close();
    lib.testbed.unplug("1-4");
    QVERIFY(services[1]->copyReportDescriptor(bytes) != hid::kSuccess);
  }

  // The udev rule opens exactly the devices the library lists to the user.
  void udevRuleNamesTheListedDevices() {
    QFile rule(PINWORTH_UDEV_RULE);
    QVERIFY(rule.open(QIODevice::ReadOnly));
    const QRegularExpression access(
        R"re(^SUBSYSTEM=="hidraw", ATTRS\{idVendor\}=="(\w{4})", )re"
        R"re(ATTRS\{idProduct\}=="(\w{4})", TAG\+="uaccess"$)re",
        QRegularExpression::MultilineOption);
    QStringList devices;
    for (const QRegularExpressionMatch &match :
         access.globalMatch(rule.readAll()))
      devices << match.captured(1) + ':' + match.captured(2);
    QCOMPARE(devices,
             QStringList({QString::asprintf("%04x:%04x", kPinworthVendorID,
                                            kPinworthAProductID),
                          QString::asprintf("%04x:%04x", kPinworthVendorID,
                                            kPinworthBProductID)}));
  }
};

QTEST_GUILESS_MAIN(HidrawDiscoveryTest)
#include "tst_hidraw_discovery.moc"
