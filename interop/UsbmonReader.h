// Reads a capture of Linux usbmon, pcap or pcapng of link type 220 (the
// 64-byte header) or 189 (its first 48 bytes), through libpcap: the devices
// it saw (their IDs, serial number, endpoints and report descriptors from
// the descriptor exchanges it holds, where it holds them) and every HID
// report carried: interrupt IN and OUT data, SET_REPORT and the answer to
// GET_REPORT. Whatever else is counted as skipped.
#ifndef PINWORTH_INTEROP_USBMON_READER_H
#define PINWORTH_INTEROP_USBMON_READER_H

#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace interop {

struct UsbmonDevice {
  uint16_t bus = 0;
  uint8_t address = 0;
  int vendorID = -1; // -1 until its device descriptor is seen
  int productID = -1;
  std::optional<int32_t> serialNumber; // a serial number of digits
  std::array<std::vector<uint8_t>, 2> reportDescriptors;
  std::map<uint8_t, int> interfaceOfEndpoint; // from its configuration
  uint8_t serialIndex = 0; // the string its device descriptor names
};

struct UsbmonReport {
  size_t device = 0; // into UsbmonRecording::devices
  // -1 for an interrupt endpoint the capture's enumeration does not name
  // (it began after the device was enumerated).
  int interfaceNumber = 0;
  uint8_t endpoint = 0; // an interrupt transfer's; 0 for a control transfer
  bool written = false;
  int64_t unixUS = 0;
  std::vector<uint8_t> bytes; // the report ID first, when it has one
};

struct UsbmonRecording {
  std::vector<UsbmonDevice> devices;
  std::vector<UsbmonReport> reports;
  uint64_t skipped = 0;               // packets that carry no report
  std::optional<int64_t> firstUnixUS; // the first packet's time
};

// The recording in file (read to its end; libpcap closes it), or none with
// the reason: not a capture libpcap reads, or not one of usbmon.
std::optional<UsbmonRecording> ReadUsbmon(std::FILE *file, std::string *error);

} // namespace interop

#endif
