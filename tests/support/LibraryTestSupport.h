// Helpers for tests of the library, whatever its backend: standard error
// captured, the event loop run, and the interface list as callers see it.
#ifndef PINWORTH_TEST_LIBRARY_TEST_SUPPORT_H
#define PINWORTH_TEST_LIBRARY_TEST_SUPPORT_H

#include "lib/PinworthLib.h"

#include <QCoreApplication>
#include <QList>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>

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

// Lets the event loop deliver what is queued: notifications and reports.
inline void DeliverPendingEvents() {
  for (int i = 0; i < 3; i++)
    QCoreApplication::processEvents();
}

// One list node as the application sees it.
struct NodeSummary {
  int interfaceType;
  int serialNumber;
  bool operator==(const NodeSummary &) const = default;
};

inline char *toString(const NodeSummary &node) {
  return QTest::toString(QString("{type %1, serial %2}")
                             .arg(node.interfaceType)
                             .arg(node.serialNumber));
}

// The nodes of the list after a count, in order.
inline QList<NodeSummary> ListedNodes() {
  QList<NodeSummary> nodes;
  int count = PinworthCountInterfaces();
  for (int i = 0; i < count; i++) {
    PinworthListNode *node = PinworthInterfaceListNodeAtIndex(i);
    nodes.append({node->interfaceType, node->serialNumber});
  }
  return nodes;
}

#endif
