// Helpers for the library tests: a captured standard error and a library
// started on a fresh simulated backend.
#ifndef PINWORTH_LIB_TEST_SUPPORT_H
#define PINWORTH_LIB_TEST_SUPPORT_H

#include "PinworthLib.h"
#include "platform/sim/SimBackend.h"

#include <QCoreApplication>
#include <QTemporaryFile>

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

// The library on a simulated backend of its own, started afresh.
struct SimulatedLibrary {
  hid::sim::SimBackend backend;

  SimulatedLibrary() {
    hid::SetBackend(&backend);
    PinworthInit();
  }
  ~SimulatedLibrary() {
    PinworthSetDeviceCallback(nullptr, nullptr);
    PinworthClearInterfaceList();
    DeliverPendingEvents();
    hid::SetBackend(nullptr);
  }
};

#endif
