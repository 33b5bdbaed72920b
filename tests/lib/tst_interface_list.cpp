// The interface list: discovery (typing by model and position, serial
// numbers, the message of each failure on standard error), lazy rebuilds,
// lookups, what a rebuild releases, and the device callback that marks it
// dirty.
#include "tests/lib/LibTestSupport.h"

#include "runloop/DefaultMode.h"

#include <QtTest>

using hid::sim::Model;
using hid::sim::SimBackend;
// Attaches devices and services to a backend.
using Setup = std::function<void(SimBackend &)>;
Q_DECLARE_METATYPE(Setup)

namespace {

int gCalls = 0;
void *gLastRefCon = nullptr;

void CountingCallback(void *refCon) {
  gCalls++;
  gLastRefCon = refCon;
}

} // namespace

class InterfaceListTest : public QObject {
  Q_OBJECT

private slots:
  // Before PinworthInit the flag is clear; after it, the first count runs
  // one search and the second none.
  void countsDiscoverOnlyWhenDirty() {
    hid::sim::SimBackend backend;
    hid::SetBackend(&backend);
    backend.attach(Model::PinworthA, "1");
    QCOMPARE(PinworthCountInterfaces(), 0);
    QCOMPARE(backend.searchCount(), 0);
    PinworthInit();
    QCOMPARE(PinworthCountInterfaces(), 2);
    QCOMPARE(PinworthCountInterfaces(), 2);
    QCOMPARE(backend.searchCount(), 1);
    PinworthClearInterfaceList();
    hid::SetBackend(nullptr);
  }

  void lookups() {
    SimulatedLibrary lib;
    QCOMPARE(PinworthIsPresent(), 0);
    QVERIFY(!PinworthInterfaceListNodeAtIndex(-1));
    QVERIFY(!PinworthGetInterface(0, 1));
    QVERIFY(!PinworthFirstInterfaceOfType(kPinworthAInterface0));

    lib.backend.attach(Model::PinworthA, "1");
    lib.backend.attach(Model::PinworthA, "2");
    DeliverPendingEvents();
    QCOMPARE(PinworthIsPresent(), 1);
    PinworthListNode *nodes[4];
    for (int i = 0; i < 4; i++)
      nodes[i] = PinworthInterfaceListNodeAtIndex(i);
    QCOMPARE(PinworthInterfaceListNodeAtIndex(-1), nodes[0]);
    QCOMPARE(PinworthInterfaceListNodeAtIndex(INT_MIN), nodes[0]);
    QVERIFY(!PinworthInterfaceListNodeAtIndex(4));
    QVERIFY(!PinworthInterfaceListNodeAtIndex(INT_MAX));
    QCOMPARE(PinworthGetInterfaceListNode(1, 0), nodes[2]);
    QCOMPARE(PinworthGetInterfaceListNode(0, 2), nodes[2]);
    QCOMPARE(PinworthGetInterfaceListNode(0, -1), nodes[0]);
    QCOMPARE(PinworthGetInterfaceListNode(INT_MIN, 0), nodes[0]);
    QVERIFY(!PinworthGetInterfaceListNode(2, 0));
    QVERIFY(!PinworthGetInterfaceListNode(INT_MAX, INT_MAX));
    QCOMPARE(PinworthGetInterface(1, 1), nodes[3]->pinworthHIDInterface);
    QCOMPARE(PinworthFirstInterfaceOfType(kPinworthAInterface1),
             nodes[1]->pinworthHIDInterface);
    QVERIFY(!PinworthFirstInterfaceOfType(kPinworthBInterface0));
  }

  // After a removal the non-checking queries answer from the old nodes until
  // a count rebuilds, which releases them.
  void nonCheckingQueriesKeepStaleNodes() {
    SimulatedLibrary lib;
    hid::sim::DeviceID device = lib.backend.attach(Model::PinworthA, "1");
    DeliverPendingEvents();
    QCOMPARE(PinworthCountInterfaces(), 2);
    PinworthListNode *staleHead = PinworthInterfaceListNodeAtIndex(0);
    hid::DeviceInterface *stale1 =
        PinworthFirstInterfaceOfType(kPinworthAInterface1);
    lib.backend.detach(device);
    DeliverPendingEvents();
    QCOMPARE(PinworthInterfaceListNodeAtIndex(0), staleHead);
    QCOMPARE(PinworthFirstInterfaceOfType(kPinworthAInterface1), stale1);
    QVERIFY(!lib.backend.handleHistories(device, 0).back().destroyed);
    QCOMPARE(PinworthCountInterfaces(), 0);
    QVERIFY(lib.backend.handleHistories(device, 0).back().destroyed);
  }

  // A failed search leaves an empty list that is clean: no second search.
  void rebuildFindingNothingLeavesCleanEmptyList() {
    SimulatedLibrary lib;
    lib.backend.attach(Model::PinworthA, "1");
    lib.backend.searchFaults().searchStatus = hid::kErrorGeneral;
    CaptureStderr([] { QCOMPARE(PinworthCountInterfaces(), 0); });
    lib.backend.searchFaults().searchStatus = hid::kSuccess;
    QCOMPARE(PinworthCountInterfaces(), 0);
    QCOMPARE(lib.backend.searchCount(), 1);
  }

  void clearingReleasesWithoutClosing() {
    SimulatedLibrary lib;
    hid::sim::DeviceID device = lib.backend.attach(Model::PinworthA, "1");
    uint8_t report[4] = {1, 2, 3, 4};
    QCOMPARE(PinworthWrite(0, 0, 4, report), 0);
    PinworthClearInterfaceList();
    hid::sim::HandleHistory handle =
        lib.backend.handleHistories(device, 0).back();
    QCOMPARE(handle.releases, 1);
    QCOMPARE(handle.closes, 0);
    QVERIFY(handle.destroyed);
    QVERIFY(!PinworthInterfaceListNodeAtIndex(0));
  }

  // One call per change, with the refcon, from the event loop in default
  // mode only: not inside a modal scope, nor from its end. A repeated
  // PinworthInit does not double them; registering again replaces.
  void eachChangeCallsOnceFromTheDefaultMode() {
    gCalls = 0;
    SimulatedLibrary lib;
    QCOMPARE(PinworthInit(), 0);
    PinworthSetDeviceCallback([](void *) { QFAIL("replaced callback"); },
                              nullptr);
    int refCon = 0;
    PinworthSetDeviceCallback(CountingCallback, &refCon);
    hid::sim::DeviceID a = lib.backend.attach(Model::PinworthA, "1");
    lib.backend.attach(Model::PinworthB, "2");
    QCOMPARE(gCalls, 0);
    DeliverPendingEvents();
    QCOMPARE(gCalls, 2);
    QCOMPARE(gLastRefCon, &refCon);
    {
      runloop::ModalScope modal;
      lib.backend.detach(a);
      DeliverPendingEvents();
      QCOMPARE(gCalls, 2);
    }
    QCOMPARE(gCalls, 2);
    DeliverPendingEvents();
    QCOMPARE(gCalls, 3);
    PinworthSetDeviceCallback(nullptr, nullptr);
    lib.backend.attach(Model::PinworthA, "3");
    DeliverPendingEvents();
    QCOMPARE(gCalls, 3);
  }

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

QTEST_GUILESS_MAIN(InterfaceListTest)
#include "tst_interface_list.moc"
