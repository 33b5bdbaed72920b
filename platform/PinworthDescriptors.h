// The HID report descriptors of the two Pinworth interfaces, as the devices
// send them. Interface 0: a 4-byte input report (the pin levels) and a 4-byte
// output report (the latches), without report IDs. Interface 1: 7-byte
// reports behind a report ID, one output report for each special function,
// and an input report for those the device answers (LCD read, infrared).
#ifndef PINWORTH_PLATFORM_PINWORTH_DESCRIPTORS_H
#define PINWORTH_PLATFORM_PINWORTH_DESCRIPTORS_H

#include <cstdint>
#include <vector>

namespace pinworth {

std::vector<uint8_t> Interface0ReportDescriptor();
std::vector<uint8_t> Interface1ReportDescriptor();

} // namespace pinworth

#endif
