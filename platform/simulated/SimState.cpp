#include "platform/simulated/SimState.h"

#include "platform/PinworthDescriptors.h"
#include "platform/PinworthUSBIDs.h"
#include "platform/simulated/SimNotificationPort.h"

namespace hid::sim {

USBDeviceIDs IDsOf(Model model) {
  return {pinworth::kUSBVendorID, model == Model::PinworthA
                                      ? pinworth::kUSBProductIDA
                                      : pinworth::kUSBProductIDB};
}

PropertyTable DeviceProperties(const SimDevice &device, int interfaceNumber) {
  PropertyTable table;
  table.vendorID = IDsOf(device.model).vendorID;
  table.productID = IDsOf(device.model).productID;
  table.serialNumber = device.serial;
  table.interfaceNumber = interfaceNumber;
  table.manufacturer = "Pinworth";
  table.product = ModelName(device.model);
  return table;
}

Status DeviceReportDescriptor(const SimInterface &interface,
                              int interfaceNumber,
                              std::vector<uint8_t> &outBytes) {
  if (interface.faults.descriptorUnreadable)
    return kErrorIO;
  outBytes = interfaceNumber == 0 ? pinworth::Interface0ReportDescriptor()
                                  : pinworth::Interface1ReportDescriptor();
  return kSuccess;
}

void SimBackend::State::notify(DeviceID id, NotificationType type) {
  Model model = device(id).model;
  for (SimNotificationPort *port : ports)
    port->notify(model, type);
}

void SimBackend::State::plugIn(DeviceID id) {
  order.push_back({false, id, 0});
  order.push_back({false, id, 1});
  notify(id, NotificationType::FirstMatch);
  changed(id);
}

void SimBackend::State::changed(DeviceID id) {
  std::vector<int> keys;
  for (const auto &[key, observer] : observers)
    keys.push_back(key);
  for (int key : keys) {
    const auto found = observers.find(key);
    if (found == observers.end())
      continue;
    const auto observer = found->second; // it may remove itself
    observer(id);
  }
}

} // namespace hid::sim
