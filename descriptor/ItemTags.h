// The tags of the short items the decoder and the formatter act on.
#ifndef PINWORTH_DESCRIPTOR_ITEM_TAGS_H
#define PINWORTH_DESCRIPTOR_ITEM_TAGS_H

#include <cstdint>

namespace hid::descriptor::tags {

// Main items.
inline constexpr uint8_t kInput = 0x8;
inline constexpr uint8_t kOutput = 0x9;
inline constexpr uint8_t kCollection = 0xA;
inline constexpr uint8_t kFeature = 0xB;
inline constexpr uint8_t kEndCollection = 0xC;

// Global items.
inline constexpr uint8_t kUsagePage = 0x0;
inline constexpr uint8_t kLogicalMinimum = 0x1;
inline constexpr uint8_t kUnitExponent = 0x5;
inline constexpr uint8_t kUnit = 0x6;
inline constexpr uint8_t kReportSize = 0x7;
inline constexpr uint8_t kReportID = 0x8;
inline constexpr uint8_t kReportCount = 0x9;
inline constexpr uint8_t kPush = 0xA;
inline constexpr uint8_t kPop = 0xB;

// Local items.
inline constexpr uint8_t kUsage = 0x0;

} // namespace hid::descriptor::tags

#endif
