// The HID report descriptors of the two Pinworth interfaces, as the devices
// send them. Interface 0: a 4-byte input report (the pin levels) and a 4-byte
// output report (the latches), without report IDs. Interface 1: 7-byte
// reports behind a report ID, one output report for each special function,
// and an input report for those the device answers (LCD read, infrared).
#ifndef PINWORTH_PLATFORM_PINWORTH_DESCRIPTORS_H
#define PINWORTH_PLATFORM_PINWORTH_DESCRIPTORS_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pinworth {

std::vector<uint8_t> Interface0ReportDescriptor();
std::vector<uint8_t> Interface1ReportDescriptor();

// The HID class descriptor each interface has in its configuration: HID
// 1.11, no country, one report descriptor of reportDescriptorSize bytes.
std::vector<uint8_t> HIDDescriptor(size_t reportDescriptorSize);

} // namespace pinworth

#endif
