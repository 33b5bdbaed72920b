// Discovery: typing by model and position, serial numbers, and the message
// of each failure on standard error.
#include "tests/lib/LibTestSupport.h"

#include <QtTest>

using hid::sim::Model;
using hid::sim::SimBackend;
// Attaches devices and services to a backend.
using Setup = std::function<void(SimBackend &)>;
Q_DECLARE_METATYPE(Setup)

class DiscoveryTest : public QObject {
  Q_OBJECT

private slots:
  void typesAndSerials_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QList<NodeSummary>>("nodes");
    const int A0 = kPinworthAInterface0, A1 = kPinworthAInterface1,
              B0 = kPinworthBInterface0, B1 = kPinworthBInterface1;
    QTest::newRow("A and B") << Setup([](SimBackend &b) {
      b.attach(Model::PinworthA, "1000");
      b.attach(Model::PinworthB, "2000");
    }) << QList<NodeSummary>{{A0, 1000}, {A1, 1000}, {B0, 2000}, {B1, 2000}};
    QTest::newRow("other product of the vendor shifts the parity")
        << Setup([](SimBackend &b) {
             auto a = b.attach(Model::PinworthA, "1");
             b.insertForeignServiceAfter(a, 0, kPinworthVendorID, 0x33);
             b.attach(Model::PinworthB, "2");
           })
        << QList<NodeSummary>{{A0, 1}, {A0, 1}, {B1, 2}, {B0, 2}};
    QTest::newRow("other vendor, unreadable table: no shift")
        << Setup([](SimBackend &b) {
             b.attach(Model::PinworthA, "1");
             b.insertForeignService(0x046d, 0x0001);
             auto s = b.insertForeignService(kPinworthVendorID, 0x33);
             b.foreignFaults(s).propertiesUnreadable = true;
             b.attach(Model::PinworthB, "2");
           })
        << QList<NodeSummary>{{A0, 1}, {A1, 1}, {B0, 2}, {B1, 2}};
    QTest::newRow("missing IDs skip the service but count its position")
        << Setup([](SimBackend &b) {
             b.faults(b.attach(Model::PinworthA, "1"), 0).vendorIDMissing =
                 true;
             b.faults(b.attach(Model::PinworthB, "2"), 1).productIDMissing =
                 true;
           })
        << QList<NodeSummary>{{A1, 1}, {B0, 2}};
    QTest::newRow("no handle: missing, sibling keeps its type")
        << Setup([](SimBackend &b) {
             b.faults(b.attach(Model::PinworthA, "1"), 0).plugInStatus =
                 hid::kErrorNoMemory;
             b.faults(b.attach(Model::PinworthB, "2"), 0).queryStatus =
                 hid::kErrorUnsupported;
           })
        << QList<NodeSummary>{{A1, 1}, {B1, 2}};
    const std::pair<std::optional<std::string>, int> serials[] = {
        {"70000", 4464},
        {"40000", -25536},
        {" -7x", -7},
        {"A1000", 0},
        {"99999999999999999999", -1},
        {std::nullopt, 0}};
    for (const auto &[text, serial] : serials)
      QTest::newRow(("serial " + text.value_or("absent")).c_str())
          << Setup([text = text](SimBackend &b) {
               b.attach(Model::PinworthB, text);
             })
          << QList<NodeSummary>{{B0, serial}, {B1, serial}};
  }

  void typesAndSerials() {
    QFETCH(Setup, setup);
    QFETCH(QList<NodeSummary>, nodes);
    SimulatedLibrary lib;
    setup(lib.backend);
    CaptureStderr([&] { QCOMPARE(ListedNodes(), nodes); });
  }

  void failureMessages_data() {
    QTest::addColumn<Setup>("fault");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("count");
    QTest::newRow("master port")
        << Setup([](SimBackend &b) {
             b.searchFaults().masterPortStatus = hid::kErrorExclusiveAccess;
           })
        << QByteArray("Couldn’t create a master I/O Kit Port. - device busy: "
                      "another program has it open for exclusive "
                      "access(e00002c5,709)\n")
        << 0;
    QTest::newRow("matching dictionary")
        << Setup(
               [](SimBackend &b) { b.searchFaults().hidMatchingFails = true; })
        << QByteArray("Failed to get HID CFMutableDictionaryRef via "
                      "IOServiceMatching.\nCouldn’t create a matching "
                      "dictionary.\n")
        << 0;
    QTest::newRow("search") << Setup([](SimBackend &b) {
      b.searchFaults().searchStatus = hid::kErrorGeneral;
    }) << QByteArray("Couldn’t create a HID object iterator.\n")
                            << 0;
    QTest::newRow("class name")
        << Setup([](SimBackend &b) {
             b.faults(1, 1).classNameStatus = hid::kErrorTimeout;
           })
        << QByteArray("Failed to get class name. - timed out: the device did "
                      "not answer(e00002d6,726)\n")
        << 2;
    QTest::newRow("plug-in")
        << Setup([](SimBackend &b) {
             b.faults(1, 0).plugInStatus = hid::kErrorNoMemory;
           })
        << QByteArray("Failed to create **plugInInterface via "
                      "IOCreatePlugInInterfaceForService.\n")
        << 1;
    QTest::newRow("interface query")
        << Setup([](SimBackend &b) {
             b.faults(1, 1).queryStatus = hid::kErrorUnsupported;
           })
        << QByteArray("Couldn’t query HID class device interface from "
                      "plugInInterface\n")
        << 1;
  }

  void failureMessages() {
    QFETCH(Setup, fault);
    QFETCH(QByteArray, message);
    QFETCH(int, count);
    SimulatedLibrary lib;
    QCOMPARE(lib.backend.attach(Model::PinworthA, "1"), 1);
    fault(lib.backend);
    int listed = -1;
    const std::string written =
        CaptureStderr([&] { listed = PinworthCountInterfaces(); });
    QCOMPARE(QByteArray::fromStdString(written), message);
    QCOMPARE(listed, count);
    QCOMPARE(CaptureStderr([] { PrintErrMsgIfIOErr(0, "nothing"); }), "");
  }
};

QTEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
