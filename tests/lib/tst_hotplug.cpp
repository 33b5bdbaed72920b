// Device notifications: the callback, the dirty list and the event loop.
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

class HotplugTest : public QObject {
  Q_OBJECT

private slots:
  void init() { gCalls = 0; }

  // PinworthInit takes the attached devices without calling back; the first
  // count finds them.
  void noCallbackForDevicesAttachedBeforeStart() {
    hid::sim::SimBackend backend;
    hid::SetBackend(&backend);
    backend.attach(Model::PinworthA, "1");
    DeliverPendingEvents();
    QCOMPARE(PinworthInit(), 0);
    PinworthSetDeviceCallback(CountingCallback, nullptr);
    DeliverPendingEvents();
    QCOMPARE(gCalls, 0);
    QCOMPARE(PinworthCountInterfaces(), 2);
    PinworthSetDeviceCallback(nullptr, nullptr);
    PinworthClearInterfaceList();
    hid::SetBackend(nullptr);
  }

  // One call per change, from the event loop, with the refcon; the list is
  // rebuilt on demand only. A repeated PinworthInit does not double them.
  void eachChangeCallsOnceFromTheEventLoop() {
    SimulatedLibrary lib;
    QCOMPARE(PinworthInit(), 0);
    int refCon = 0;
    PinworthSetDeviceCallback(CountingCallback, &refCon);
    QCOMPARE(PinworthCountInterfaces(), 0);
    hid::sim::DeviceID a = lib.backend.attach(Model::PinworthA, "1");
    lib.backend.attach(Model::PinworthB, "2");
    QCOMPARE(gCalls, 0);
    DeliverPendingEvents();
    QCOMPARE(gCalls, 2);
    QCOMPARE(gLastRefCon, &refCon);
    QCOMPARE(lib.backend.searchCount(), 1);
    QCOMPARE(PinworthCountInterfaces(), 4);
    lib.backend.detach(a);
    DeliverPendingEvents();
    QCOMPARE(gCalls, 3);
    QVERIFY(PinworthInterfaceListNodeAtIndex(3)); // stale until a count
    QCOMPARE(PinworthCountInterfaces(), 2);
  }

  void notificationsWaitForModalScope() {
    SimulatedLibrary lib;
    PinworthSetDeviceCallback(CountingCallback, nullptr);
    {
      runloop::ModalScope modal;
      lib.backend.detach(lib.backend.attach(Model::PinworthA, "1"));
      DeliverPendingEvents();
      QCOMPARE(gCalls, 0);
    }
    QCOMPARE(gCalls, 0); // from the outer loop, not the scope's destructor
    DeliverPendingEvents();
    QCOMPARE(gCalls, 2);
  }

  void registeringAgainReplaces() {
    SimulatedLibrary lib;
    PinworthSetDeviceCallback([](void *) { QFAIL("replaced callback"); },
                              nullptr);
    PinworthSetDeviceCallback(CountingCallback, nullptr);
    lib.backend.attach(Model::PinworthA, "1");
    DeliverPendingEvents();
    PinworthSetDeviceCallback(nullptr, nullptr);
    lib.backend.attach(Model::PinworthA, "2");
    DeliverPendingEvents();
    QCOMPARE(gCalls, 1);
  }
};

QTEST_GUILESS_MAIN(HotplugTest)
#include "tst_hotplug.moc"
