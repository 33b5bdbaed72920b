// What a usbmon packet in a pcap or pcapng file is: its link type, which
// says how much of the kernel's header it carries, and the header's
// transfer types (the kernel's Documentation/usb/usbmon.rst).
#ifndef PINWORTH_INTEROP_USBMON_H
#define PINWORTH_INTEROP_USBMON_H

#include <cstddef>
#include <cstdint>

namespace interop::usbmon {

inline constexpr int kLinkTypeUsbLinux = 189; // the header's first 48 bytes
inline constexpr int kLinkTypeUsbLinuxMmapped = 220; // all 64
inline constexpr size_t kHeaderSize = 48;
inline constexpr size_t kMmappedHeaderSize = 64;

inline constexpr uint8_t kInterrupt = 1;
inline constexpr uint8_t kControl = 2;

} // namespace interop::usbmon

#endif
