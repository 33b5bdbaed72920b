// What a test makes the simulated backend do wrong (the faults of an
// interface, a foreign service or the search) and what it recorded of each
// handle, and the names of its devices and services.
#ifndef PINWORTH_SIM_FAULTS_H
#define PINWORTH_SIM_FAULTS_H

#include "platform/HIDServices.h"

namespace hid::sim {

// Faults of one interface, or of one foreign service. kSuccess means none.
struct InterfaceFaults {
  bool propertiesUnreadable = false;
  bool vendorIDMissing = false;
  bool productIDMissing = false;
  Status classNameStatus = kSuccess;
  Status plugInStatus = kSuccess;
  Status queryStatus = kSuccess;
  Status openStatus = kSuccess;
  Status nextWriteStatus = kSuccess; // fails the next write only
  Status nextReadStatus = kSuccess;  // fails the next get-report only
  bool stalled = false;              // transfers time out until cleared
  bool descriptorUnreadable = false; // its report descriptor cannot be read
};

// What happened to one handle, kept after the handle is gone.
struct HandleHistory {
  int opens = 0;
  int closes = 0;
  int releases = 0;
  bool isOpen = false;
  bool destroyed = false;
  bool handlerInstalled = false;
};

// Faults of the whole search, for the discovery failure paths.
struct SearchFaults {
  Status masterPortStatus = kSuccess;
  bool hidMatchingFails = false;
  bool usbMatchingFails = false;
  Status searchStatus = kSuccess;
};

using DeviceID = int;
using ServiceID = int;

} // namespace hid::sim

#endif
