#include "platform/hidraw/ReportDescriptor.h"

namespace hid::hidraw {

namespace {

constexpr uint8_t kLongItemPrefix = 0xFE;
constexpr uint8_t kReportIDPrefix = 0x84; // global item, tag 8, any size
constexpr uint8_t kTagAndTypeMask = 0xFC;

// Data bytes of a short item, from the size code in its prefix.
size_t ShortItemDataSize(uint8_t prefix) {
  static constexpr size_t kSizes[] = {0, 1, 2, 4};
  return kSizes[prefix & 0x03];
}

} // namespace

bool UsesReportIDs(const uint8_t *data, size_t size) {
  size_t position = 0;
  while (position < size) {
    uint8_t prefix = data[position];
    size_t remaining = size - position - 1;
    size_t itemData;
    size_t header;
    if (prefix == kLongItemPrefix) {
      // Prefix, data size, long item tag, then the data.
      if (remaining < 2)
        return false;
      header = 3;
      itemData = data[position + 1];
    } else {
      header = 1;
      itemData = ShortItemDataSize(prefix);
      if ((prefix & kTagAndTypeMask) == kReportIDPrefix && itemData > 0 &&
          itemData <= remaining)
        return true;
    }
    if (header - 1 + itemData > remaining)
      return false;
    position += header + itemData;
  }
  return false;
}

} // namespace hid::hidraw
