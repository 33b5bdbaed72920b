#include "PinworthDescriptors.h"

Bytes PinworthInterface0Descriptor() {
  return {
      0x06, 0x00, 0xFF, // Usage Page (vendor defined 0xFF00)
      0x09, 0x01,       // Usage (1)
      0xA1, 0x01,       // Collection (Application)
      0x15, 0x00,       //   Logical Minimum (0)
      0x26, 0xFF, 0x00, //   Logical Maximum (255)
      0x75, 0x08,       //   Report Size (8)
      0x95, 0x04,       //   Report Count (4)
      0x09, 0x02,       //   Usage (2)
      0x81, 0x02,       //   Input (Data, Variable, Absolute)
      0x09, 0x03,       //   Usage (3)
      0x91, 0x02,       //   Output (Data, Variable, Absolute)
      0xC0,             // End Collection
  };
}

Bytes PinworthInterface1Descriptor() {
  Bytes descriptor = {
      0x06, 0x00, 0xFF, // Usage Page (vendor defined 0xFF00)
      0x09, 0x02,       // Usage (2)
      0xA1, 0x01,       // Collection (Application)
      0x15, 0x00,       //   Logical Minimum (0)
      0x26, 0xFF, 0x00, //   Logical Maximum (255)
      0x75, 0x08,       //   Report Size (8)
      0x95, 0x07,       //   Report Count (7)
  };
  // One input and one output report for each special function.
  for (uint8_t id : {0x01, 0x02, 0x0C}) {
    Bytes report = {0x85, id,   // Report ID
                    0x09, 0x03, // Usage (3)
                    0x81, 0x02, // Input (Data, Variable, Absolute)
                    0x09, 0x04, // Usage (4)
                    0x91, 0x02};
    descriptor.insert(descriptor.end(), report.begin(), report.end());
  }
  descriptor.push_back(0xC0); // End Collection
  return descriptor;
}
