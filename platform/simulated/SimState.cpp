#include "platform/simulated/SimState.h"

#include "platform/PinworthDescriptors.h"
#include "platform/PinworthUSBIDs.h"

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

} // namespace hid::sim
