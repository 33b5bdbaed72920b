// The interface list: lazy rebuilds and lookups.
#include "LibTestSupport.h"

#include <QtTest>

using hid::sim::Model;

class InterfaceListTest : public QObject {
  Q_OBJECT

private slots:
  void countBeforeInitRunsNoDiscovery();
  void firstCountDiscoversOnce();
  void emptyList();
  void positionLookups();
  void lookupByDeviceAndInterface();
  void firstInterfaceOfTypePrefersEarlierNode();
  void nonCheckingQueriesKeepStaleNodes();
  void rebuildFindingNothingLeavesCleanEmptyList();
  void clearingReleasesWithoutClosing();
};

void InterfaceListTest::countBeforeInitRunsNoDiscovery() {
  hid::sim::SimBackend backend;
  hid::SetBackend(&backend);
  backend.attach(Model::PinworthA, "1");
  QCOMPARE(PinworthCountInterfaces(), 0);
  QCOMPARE(backend.searchCount(), 0);
  hid::SetBackend(nullptr);
}

void InterfaceListTest::firstCountDiscoversOnce() {
  SimulatedLibrary lib;
  lib.backend.attach(Model::PinworthA, "1");
  DeliverPendingEvents(); // the arrival marks the list dirty again
  QCOMPARE(PinworthCountInterfaces(), 2);
  QCOMPARE(PinworthCountInterfaces(), 2);
  QCOMPARE(lib.backend.searchCount(), 1);
}

void InterfaceListTest::emptyList() {
  SimulatedLibrary lib;
  QCOMPARE(PinworthCountInterfaces(), 0);
  QCOMPARE(PinworthIsPresent(), 0);
  QVERIFY(!PinworthInterfaceListNodeAtIndex(0));
  QVERIFY(!PinworthInterfaceListNodeAtIndex(-1));
  QVERIFY(!PinworthGetInterfaceListNode(0, 0));
  QVERIFY(!PinworthGetInterface(0, 1));
  for (int type = 0; type < 4; type++)
    QVERIFY(!PinworthFirstInterfaceOfType(type));
}

void InterfaceListTest::positionLookups() {
  SimulatedLibrary lib;
  lib.backend.attach(Model::PinworthA, "1");
  lib.backend.attach(Model::PinworthB, "2");
  QCOMPARE(PinworthCountInterfaces(), 4);
  QCOMPARE(PinworthIsPresent(), 1);
  PinworthListNode *head = PinworthInterfaceListNodeAtIndex(0);
  QVERIFY(head);
  QCOMPARE(PinworthInterfaceListNodeAtIndex(-1), head);
  QCOMPARE(PinworthInterfaceListNodeAtIndex(INT_MIN), head);
  QVERIFY(!PinworthInterfaceListNodeAtIndex(4));
  QVERIFY(!PinworthInterfaceListNodeAtIndex(INT_MAX));
  QCOMPARE(PinworthInterfaceListNodeAtIndex(3)->interfaceType,
           kPinworthBInterface1);
}

void InterfaceListTest::lookupByDeviceAndInterface() {
  SimulatedLibrary lib;
  lib.backend.attach(Model::PinworthA, "1");
  lib.backend.attach(Model::PinworthB, "2");
  PinworthListNode *third = PinworthGetInterfaceListNode(1, 0);
  QVERIFY(third);
  QCOMPARE(third, PinworthInterfaceListNodeAtIndex(2));
  QCOMPARE(PinworthGetInterfaceListNode(0, 2), third);
  QCOMPARE(PinworthGetInterfaceListNode(0, -1),
           PinworthInterfaceListNodeAtIndex(0));
  QCOMPARE(PinworthGetInterface(1, 1),
           PinworthInterfaceListNodeAtIndex(3)->pinworthHIDInterface);
  QVERIFY(!PinworthGetInterfaceListNode(2, 0));
  QVERIFY(!PinworthGetInterfaceListNode(INT_MAX, INT_MAX));
  QCOMPARE(PinworthGetInterfaceListNode(INT_MIN, 0),
           PinworthInterfaceListNodeAtIndex(0));
}

void InterfaceListTest::firstInterfaceOfTypePrefersEarlierNode() {
  SimulatedLibrary lib;
  lib.backend.attach(Model::PinworthA, "1");
  lib.backend.attach(Model::PinworthA, "2");
  QCOMPARE(PinworthCountInterfaces(), 4);
  QCOMPARE(PinworthFirstInterfaceOfType(kPinworthAInterface1),
           PinworthInterfaceListNodeAtIndex(1)->pinworthHIDInterface);
  QVERIFY(!PinworthFirstInterfaceOfType(kPinworthBInterface0));
}

void InterfaceListTest::nonCheckingQueriesKeepStaleNodes() {
  SimulatedLibrary lib;
  hid::sim::DeviceID device = lib.backend.attach(Model::PinworthA, "1");
  DeliverPendingEvents();
  QCOMPARE(PinworthCountInterfaces(), 2);
  PinworthListNode *staleHead = PinworthInterfaceListNodeAtIndex(0);
  hid::DeviceInterface *staleInterface1 =
      PinworthFirstInterfaceOfType(kPinworthAInterface1);

  lib.backend.detach(device);
  DeliverPendingEvents();
  QCOMPARE(PinworthInterfaceListNodeAtIndex(0), staleHead);
  QCOMPARE(PinworthFirstInterfaceOfType(kPinworthAInterface1), staleInterface1);
  QCOMPARE(lib.backend.handleHistories(device, 0).back().destroyed, false);

  QCOMPARE(PinworthCountInterfaces(), 0);
  QCOMPARE(lib.backend.handleHistories(device, 0).back().destroyed, true);
  QCOMPARE(lib.backend.handleHistories(device, 1).back().destroyed, true);
}

void InterfaceListTest::rebuildFindingNothingLeavesCleanEmptyList() {
  SimulatedLibrary lib;
  lib.backend.attach(Model::PinworthA, "1");
  lib.backend.searchFaults().searchStatus = hid::kErrorGeneral;
  CaptureStderr([] { QCOMPARE(PinworthCountInterfaces(), 0); });
  lib.backend.searchFaults().searchStatus = hid::kSuccess;
  QCOMPARE(lib.backend.searchCount(), 1);
  QCOMPARE(PinworthCountInterfaces(), 0); // clean: no second search
  QCOMPARE(lib.backend.searchCount(), 1);
}

void InterfaceListTest::clearingReleasesWithoutClosing() {
  SimulatedLibrary lib;
  hid::sim::DeviceID device = lib.backend.attach(Model::PinworthA, "1");
  QCOMPARE(PinworthCountInterfaces(), 2);
  uint8_t report[4] = {1, 2, 3, 4};
  QCOMPARE(
      PinworthWriteToInterface(
          PinworthInterfaceListNodeAtIndex(0)->pinworthHIDInterface, 4, report),
      0);
  PinworthClearInterfaceList();
  hid::sim::HandleHistory record =
      lib.backend.handleHistories(device, 0).back();
  QCOMPARE(record.releases, 1);
  QCOMPARE(record.closes, 0);
  QCOMPARE(record.destroyed, true);
  QVERIFY(!PinworthInterfaceListNodeAtIndex(0));
}

QTEST_GUILESS_MAIN(InterfaceListTest)
#include "tst_interface_list.moc"
