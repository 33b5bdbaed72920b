// The interface list: lazy rebuilds, lookups, what a rebuild releases, and
// the device callback that marks it dirty.
#include "tests/lib/LibTestSupport.h"

#include "runloop/DefaultMode.h"

#include <QtTest>

using hid::sim::Model;

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
};

QTEST_GUILESS_MAIN(InterfaceListTest)
#include "tst_interface_list.moc"
