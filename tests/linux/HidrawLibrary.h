// The library on the hidraw backend over emulated devices, and small helpers
// for its tests.
#ifndef PINWORTH_TEST_HIDRAW_LIBRARY_H
#define PINWORTH_TEST_HIDRAW_LIBRARY_H

#include "HidrawTestbed.h"
#include "PinworthLib.h"
#include "platform/linux/LinuxHidBackend.h"

#include <QCoreApplication>
#include <QList>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>

// Lets the event loop deliver what is queued.
inline void DeliverPendingEvents() {
  for (int i = 0; i < 3; i++)
    QCoreApplication::processEvents();
}

// The library started afresh on a new testbed. The testbed comes first: the
// notification port's udev monitor must see it.
struct HidrawLibrary {
  HidrawTestbed testbed;
  hid::hidraw::LinuxHidBackend backend;

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

// One list node as the application sees it.
struct NodeSummary {
  int interfaceType;
  int serialNumber;
  bool operator==(const NodeSummary &) const = default;
};

inline QList<NodeSummary> ListedNodes() {
  QList<NodeSummary> nodes;
  int count = PinworthCountInterfaces();
  for (int i = 0; i < count; i++) {
    PinworthListNode *node = PinworthInterfaceListNodeAtIndex(i);
    nodes.append({node->interfaceType, node->serialNumber});
  }
  return nodes;
}

inline char *toString(const NodeSummary &node) {
  return QTest::toString(QString("{type %1, serial %2}")
                             .arg(node.interfaceType)
                             .arg(node.serialNumber));
}

// The handle of list position index after a count.
inline hid::DeviceInterface *ListedInterface(int index) {
  PinworthCountInterfaces();
  PinworthListNode *node = PinworthInterfaceListNodeAtIndex(index);
  return node ? node->pinworthHIDInterface : nullptr;
}

// Runs work with standard error sent to a file, and returns what it wrote.
inline std::string CaptureStderr(const std::function<void()> &work) {
  QTemporaryFile file;
  if (!file.open())
    return "<could not capture>";
  std::fflush(stderr);
  int saved = dup(STDERR_FILENO);
  dup2(file.handle(), STDERR_FILENO);
  work();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  file.seek(0);
  return file.readAll().toStdString();
}

#endif
