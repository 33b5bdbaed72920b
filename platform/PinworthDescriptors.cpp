#include "platform/PinworthDescriptors.h"

#include "platform/PinworthProtocol.h"

#include <linux/hid.h>
#include <linux/usb/ch9.h>

namespace pinworth {

namespace {

constexpr uint8_t kUsagePageVendor[] = {0x06, 0x00, 0xFF}; // 0xFF00
constexpr uint8_t kCollectionApplication[] = {0xA1, 0x01};
constexpr uint8_t kEndCollection = 0xC0;
constexpr uint8_t kByteRange[] = {0x15, 0x00, 0x26, 0xFF, 0x00}; // 0 to 255
constexpr uint8_t kInput[] = {0x81, 0x02};  // Data, Variable, Absolute
constexpr uint8_t kOutput[] = {0x91, 0x02}; // Data, Variable, Absolute

// Byte by byte: GCC 12 at -O3 takes a range insert of these few bytes for
// an overflow (-Wstringop-overflow).
void Append(std::vector<uint8_t> &descriptor,
            std::initializer_list<uint8_t> bytes) {
  for (uint8_t byte : bytes)
    descriptor.push_back(byte);
}

template <size_t N>
void Append(std::vector<uint8_t> &descriptor, const uint8_t (&bytes)[N]) {
  for (uint8_t byte : bytes)
    descriptor.push_back(byte);
}

// Report Size 8, Report Count count: count bytes.
void AppendBytes(std::vector<uint8_t> &descriptor, uint8_t count) {
  Append(descriptor, {0x75, 0x08, 0x95, count});
}

} // namespace

std::vector<uint8_t> Interface0ReportDescriptor() {
  std::vector<uint8_t> descriptor;
  Append(descriptor, kUsagePageVendor);
  Append(descriptor, {0x09, 0x01}); // Usage: the pins
  Append(descriptor, kCollectionApplication);
  Append(descriptor, kByteRange);
  AppendBytes(descriptor, uint8_t(kInterface0ReportSize));
  Append(descriptor, {0x09, 0x02}); // Usage: pin levels
  Append(descriptor, kInput);
  Append(descriptor, {0x09, 0x03}); // Usage: pin latches
  Append(descriptor, kOutput);
  descriptor.push_back(kEndCollection);
  return descriptor;
}

std::vector<uint8_t> Interface1ReportDescriptor() {
  struct Function {
    uint8_t reportID;
    bool answers; // the device sends input reports of this ID
  };
  constexpr Function kFunctions[] = {{kLCDModeReport, false},
                                     {kLCDWriteReport, false},
                                     {kLCDReadReport, true},
                                     {kInfraredReport, true}};
  std::vector<uint8_t> descriptor;
  Append(descriptor, kUsagePageVendor);
  Append(descriptor, {0x09, 0x04}); // Usage: the special functions
  Append(descriptor, kCollectionApplication);
  Append(descriptor, kByteRange);
  AppendBytes(descriptor, uint8_t(ReportDataSize(1)));
  for (const Function &function : kFunctions) {
    Append(descriptor, {0x85, function.reportID});
    // Usage: the function's input, then its output, by report ID.
    if (function.answers) {
      Append(descriptor, {0x09, uint8_t(0x20 + function.reportID)});
      Append(descriptor, kInput);
    }
    Append(descriptor, {0x09, uint8_t(0x40 + function.reportID)});
    Append(descriptor, kOutput);
  }
  descriptor.push_back(kEndCollection);
  return descriptor;
}

std::vector<uint8_t> HIDDescriptor(size_t reportDescriptorSize) {
  std::vector<uint8_t> bytes = {9, HID_DT_HID, 0x11, 0x01, 0, 1, HID_DT_REPORT};
  bytes.push_back(uint8_t(reportDescriptorSize));
  bytes.push_back(uint8_t(reportDescriptorSize >> 8));
  return bytes;
}

} // namespace pinworth
