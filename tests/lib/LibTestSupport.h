// The library started on a fresh simulated backend.
#ifndef PINWORTH_LIB_TEST_SUPPORT_H
#define PINWORTH_LIB_TEST_SUPPORT_H

#include "LibraryTestSupport.h"
#include "PinworthLib.h"
#include "platform/sim/SimBackend.h"

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
