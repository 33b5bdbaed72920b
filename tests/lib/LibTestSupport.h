// The library started on a fresh simulated backend.
#ifndef PINWORTH_LIB_TEST_SUPPORT_H
#define PINWORTH_LIB_TEST_SUPPORT_H

#include "lib/PinworthLib.h"
#include "platform/simulated/SimBackend.h"
#include "tests/support/LibraryTestSupport.h"

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
