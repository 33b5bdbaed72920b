#include "interop/ImportedRecording.h"

#include "capture/CaptureFormat.h"
#include "lib/PinworthLib.h"
#include "platform/PinworthUSBIDs.h"

namespace interop {

std::optional<int> CapturedDataSize(const std::vector<uint8_t> &bytes,
                                    int interfaceNumber) {
  const int size = int(bytes.size()) - int(interfaceNumber == 1);
  if (size < 0 || size > capture::kMaxDataSize)
    return std::nullopt;
  return size;
}

std::optional<int> Interface0OfIDs(int vendorID, int productID) {
  if (vendorID != pinworth::kUSBVendorID)
    return std::nullopt;
  if (productID == pinworth::kUSBProductIDA)
    return kPinworthAInterface0;
  if (productID == pinworth::kUSBProductIDB)
    return kPinworthBInterface0;
  return std::nullopt;
}

} // namespace interop
