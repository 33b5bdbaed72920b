// The USB IDs of the Pinworth devices, defined once for the library, the
// simulated devices, the tests and the check of the udev rule.
#ifndef PINWORTH_PLATFORM_PINWORTH_USB_IDS_H
#define PINWORTH_PLATFORM_PINWORTH_USB_IDS_H

#include <cstdint>

namespace pinworth {

inline constexpr int32_t kUSBVendorID = 0x1209;
inline constexpr int32_t kUSBProductIDA = 0x0001; // model PinworthA
inline constexpr int32_t kUSBProductIDB = 0x0002; // model PinworthB

} // namespace pinworth

#endif
