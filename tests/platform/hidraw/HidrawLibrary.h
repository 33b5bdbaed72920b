// The library on the hidraw backend over emulated devices, and small helpers
// for its tests.
#ifndef PINWORTH_TEST_HIDRAW_LIBRARY_H
#define PINWORTH_TEST_HIDRAW_LIBRARY_H

#include "lib/PinworthLib.h"
#include "platform/hidraw/HidrawBackend.h"
#include "tests/platform/hidraw/HidrawTestbed.h"
#include "tests/support/LibraryTestSupport.h"

#include <QTest>

// The library started afresh on a new testbed. The testbed comes first: the
// notification port's udev monitor must see it.
struct HidrawLibrary {
  HidrawTestbed testbed;
  hid::hidraw::HidrawBackend backend;

  HidrawLibrary() {
    hid::SetBackend(&backend);
    PinworthInit();
  }
  ~HidrawLibrary() {
    PinworthSetDeviceCallback(nullptr, nullptr);
    PinworthClearInterfaceList();
    DeliverPendingEvents();
    // A request that was stuck lets its descriptor go once answered.
    testbed.answerHeldRequests();
    if (!QTest::qWaitFor([this] { return testbed.allNodesClosed(); }, 5000))
      qWarning("an emulated hidraw node is still open");
    hid::SetBackend(nullptr);
  }
};

// The handle of list position index after a count.
inline hid::DeviceInterface *ListedInterface(int index) {
  PinworthCountInterfaces();
  PinworthListNode *node = PinworthInterfaceListNodeAtIndex(index);
  return node ? node->pinworthHIDInterface : nullptr;
}

#endif
