#include "interop/UsbDevices.h"

#include "platform/PinworthDescriptors.h"
#include "platform/PinworthUSBIDs.h"

#include <linux/hid.h>
#include <linux/usb/ch9.h>

#include <string>

namespace interop {

namespace {

constexpr size_t kDevicesPerBus = 126; // addresses 2 to 127

void Append16(std::vector<uint8_t> &bytes, uint16_t value) {
  bytes.push_back(uint8_t(value));
  bytes.push_back(uint8_t(value >> 8));
}

} // namespace

std::vector<uint8_t> UsbDevice::deviceDescriptor() const {
  std::vector<uint8_t> bytes = {USB_DT_DEVICE_SIZE, USB_DT_DEVICE};
  Append16(bytes, 0x0200); // USB 2.0
  bytes.insert(bytes.end(), {0, 0, 0, 64});
  Append16(bytes, uint16_t(pinworth::kUSBVendorID));
  Append16(bytes, uint16_t(modelB ? pinworth::kUSBProductIDB
                                  : pinworth::kUSBProductIDA));
  Append16(bytes, 0x0100);
  bytes.insert(bytes.end(), {1, 2, 3, 1}); // strings; one configuration
  return bytes;
}

std::vector<uint8_t> UsbDevice::configurationDescriptor() const {
  std::vector<uint8_t> bytes = {USB_DT_CONFIG_SIZE,
                                USB_DT_CONFIG,
                                0,
                                0,
                                kInterfacesPerDevice,
                                1,
                                0,
                                USB_CONFIG_ATT_ONE,
                                50};
  for (int number = 0; number < kInterfacesPerDevice; ++number) {
    bytes.insert(bytes.end(),
                 {USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, uint8_t(number), 0,
                  2, USB_INTERFACE_CLASS_HID, 0, 0, 0});
    const std::vector<uint8_t> hid =
        pinworth::HIDDescriptor(reportDescriptors[size_t(number)].size());
    bytes.insert(bytes.end(), hid.begin(), hid.end());
    for (uint8_t endpoint : {InEndpointOf(number), OutEndpointOf(number)})
      bytes.insert(bytes.end(),
                   {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, endpoint,
                    USB_ENDPOINT_XFER_INT, kEndpointMaxPacket, 0, 1});
  }
  bytes[2] = uint8_t(bytes.size());
  bytes[3] = uint8_t(bytes.size() >> 8);
  return bytes;
}

std::vector<uint8_t> UsbDevice::languagesDescriptor() {
  return {4, USB_DT_STRING, 0x09, 0x04}; // English (United States)
}

std::vector<uint8_t> UsbDevice::serialNumberDescriptor() const {
  const std::string text = std::to_string(serialNumber);
  std::vector<uint8_t> bytes = {uint8_t(2 + 2 * text.size()), USB_DT_STRING};
  for (char c : text)
    Append16(bytes, uint8_t(c));
  return bytes;
}

UsbDevices::UsbDevices(const std::vector<capture::CaptureInterface> &table) {
  for (const capture::CaptureInterface &entry : table) {
    const bool modelB = entry.interfaceType / kInterfacesPerDevice == 1;
    const int number = entry.interfaceType % kInterfacesPerDevice;
    const uint16_t source = uint16_t(deviceOfSource_.size());
    if (entry.interfaceType < 0 || entry.interfaceType > 3) {
      deviceOfSource_.push_back(-1);
      continue;
    }
    size_t index = 0;
    while (index < devices_.size() &&
           (devices_[index].modelB != modelB ||
            devices_[index].serialNumber != entry.serialNumber ||
            devices_[index].occurrence != entry.occurrence))
      ++index;
    if (index == devices_.size()) {
      UsbDevice device;
      device.modelB = modelB;
      device.serialNumber = entry.serialNumber;
      device.occurrence = entry.occurrence;
      device.bus = uint16_t(1 + index / kDevicesPerBus);
      device.address = uint8_t(2 + index % kDevicesPerBus);
      device.reportDescriptors = {pinworth::Interface0ReportDescriptor(),
                                  pinworth::Interface1ReportDescriptor()};
      devices_.push_back(std::move(device));
    }
    UsbDevice &device = devices_[index];
    device.sources[size_t(number)] = source;
    if (!entry.descriptor.empty())
      device.reportDescriptors[size_t(number)] = entry.descriptor;
    deviceOfSource_.push_back(int(index));
  }
}

const UsbDevice *UsbDevices::deviceOfSource(uint16_t source) const {
  if (source >= deviceOfSource_.size() || deviceOfSource_[source] < 0)
    return nullptr;
  return &devices_[size_t(deviceOfSource_[source])];
}

} // namespace interop
