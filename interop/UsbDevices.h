// The USB devices behind a capture's interfaces, as another tool shows them:
// the interfaces of one model, serial number and occurrence are the two
// interfaces of one device, given a bus and device address of its own
// (bus 1 address 2, 3, ..., in the order the table names them, on to bus 2
// past address 127; 1 is a bus's root hub), and the USB descriptors such a
// device answers with.
#ifndef PINWORTH_INTEROP_USB_DEVICES_H
#define PINWORTH_INTEROP_USB_DEVICES_H

#include "capture/CaptureFormat.h"

#include <array>
#include <cstdint>
#include <vector>

namespace interop {

inline constexpr int kInterfacesPerDevice = 2;
inline constexpr uint8_t kEndpointMaxPacket = 8;

// The interrupt endpoints of interface n: IN 0x81 + n, OUT 0x01 + n.
constexpr uint8_t InEndpointOf(int interfaceNumber) {
  return uint8_t(0x81 + interfaceNumber);
}
constexpr uint8_t OutEndpointOf(int interfaceNumber) {
  return uint8_t(0x01 + interfaceNumber);
}

struct UsbDevice {
  bool modelB = false;
  int32_t serialNumber = 0;
  int32_t occurrence = 0;
  uint16_t bus = 0;
  uint8_t address = 0;
  // Per interface number: its source in the capture (kNoSource when the
  // capture has none) and its report descriptor (the model's own when the
  // capture has none).
  std::array<uint16_t, kInterfacesPerDevice> sources{capture::kNoSource,
                                                     capture::kNoSource};
  std::array<std::vector<uint8_t>, kInterfacesPerDevice> reportDescriptors;

  std::vector<uint8_t> deviceDescriptor() const;
  std::vector<uint8_t> configurationDescriptor() const;
  // String descriptor 0 (the languages) and 3 (the serial number).
  static std::vector<uint8_t> languagesDescriptor();
  std::vector<uint8_t> serialNumberDescriptor() const;
};

class UsbDevices {
public:
  explicit UsbDevices(const std::vector<capture::CaptureInterface> &table);

  const std::vector<UsbDevice> &devices() const { return devices_; }
  // The device of a record's source, or none for kNoSource or a source
  // outside the table.
  const UsbDevice *deviceOfSource(uint16_t source) const;

private:
  std::vector<UsbDevice> devices_;
  std::vector<int> deviceOfSource_; // an index into devices_, by source
};

} // namespace interop

#endif
