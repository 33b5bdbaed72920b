// What the hidraw backend needs to know from a HID report descriptor.
#ifndef PINWORTH_HIDRAW_REPORT_DESCRIPTOR_H
#define PINWORTH_HIDRAW_REPORT_DESCRIPTOR_H

#include <cstddef>
#include <cstdint>

namespace hid::hidraw {

// True when the descriptor declares a Report ID item, so that every report of
// the interface begins with its ID byte. Reads only the size bytes at data,
// whatever they hold: an item cut off at the end is ignored.
bool UsesReportIDs(const uint8_t *data, size_t size);

} // namespace hid::hidraw

#endif
