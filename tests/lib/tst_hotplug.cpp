// Device notifications: the callback, the dirty list and the event loop.
#include "LibTestSupport.h"

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
  void init() {
    gCalls = 0;
    gLastRefCon = nullptr;
  }
  void noCallbackForDevicesAttachedBeforeStart();
  void arrivalCallsOnceFromTheEventLoop();
  void removalCallsOnceAndKeepsStaleNodes();
  void eachModelNotifiesOnlyItsOwnRegistration();
  void notificationsWaitForModalScope();
  void registeringAgainReplaces();
  void repeatedInitDoesNotDoubleNotifications();
};

void HotplugTest::noCallbackForDevicesAttachedBeforeStart() {
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

void HotplugTest::arrivalCallsOnceFromTheEventLoop() {
  SimulatedLibrary lib;
  int refCon = 0;
  PinworthSetDeviceCallback(CountingCallback, &refCon);
  QCOMPARE(PinworthCountInterfaces(), 0);
  lib.backend.attach(Model::PinworthA, "1");
  QCOMPARE(gCalls, 0); // not from inside the attach
  DeliverPendingEvents();
  QCOMPARE(gCalls, 1);
  QCOMPARE(gLastRefCon, &refCon);
  QCOMPARE(lib.backend.searchCount(), 1); // the list is rebuilt on demand only
  QCOMPARE(PinworthCountInterfaces(), 2);
  QCOMPARE(lib.backend.searchCount(), 2);
}

void HotplugTest::removalCallsOnceAndKeepsStaleNodes() {
  SimulatedLibrary lib;
  hid::sim::DeviceID device = lib.backend.attach(Model::PinworthB, "1");
  DeliverPendingEvents();
  QCOMPARE(PinworthCountInterfaces(), 2);
  PinworthSetDeviceCallback(CountingCallback, nullptr);
  lib.backend.detach(device);
  DeliverPendingEvents();
  QCOMPARE(gCalls, 1);
  QVERIFY(PinworthInterfaceListNodeAtIndex(1));
  QCOMPARE(PinworthCountInterfaces(), 0);
}

void HotplugTest::eachModelNotifiesOnlyItsOwnRegistration() {
  SimulatedLibrary lib;
  PinworthSetDeviceCallback(CountingCallback, nullptr);
  lib.backend.attach(Model::PinworthA, "1");
  lib.backend.attach(Model::PinworthB, "2");
  DeliverPendingEvents();
  QCOMPARE(gCalls, 2);
}

void HotplugTest::notificationsWaitForModalScope() {
  SimulatedLibrary lib;
  PinworthSetDeviceCallback(CountingCallback, nullptr);
  hid::sim::DeviceID device;
  {
    runloop::ModalScope modal;
    device = lib.backend.attach(Model::PinworthA, "1");
    lib.backend.detach(device);
    DeliverPendingEvents();
    QCOMPARE(gCalls, 0);
  }
  QCOMPARE(gCalls, 0); // delivered from the outer loop, not the destructor
  DeliverPendingEvents();
  QCOMPARE(gCalls, 2);
}

void HotplugTest::registeringAgainReplaces() {
  SimulatedLibrary lib;
  PinworthSetDeviceCallback([](void *) { QFAIL("replaced callback called"); },
                            nullptr);
  PinworthSetDeviceCallback(CountingCallback, nullptr);
  lib.backend.attach(Model::PinworthA, "1");
  DeliverPendingEvents();
  QCOMPARE(gCalls, 1);
  PinworthSetDeviceCallback(nullptr, nullptr);
  lib.backend.attach(Model::PinworthA, "2");
  DeliverPendingEvents();
  QCOMPARE(gCalls, 1);
}

void HotplugTest::repeatedInitDoesNotDoubleNotifications() {
  SimulatedLibrary lib;
  QCOMPARE(PinworthInit(), 0);
  PinworthSetDeviceCallback(CountingCallback, nullptr);
  lib.backend.attach(Model::PinworthA, "1");
  DeliverPendingEvents();
  QCOMPARE(gCalls, 1);
}

QTEST_GUILESS_MAIN(HotplugTest)
#include "tst_hotplug.moc"
