// HID report descriptors decoded: their items, the reports they declare, and
// where a malformed one goes wrong. Plain C++, safe on any input bytes.
#ifndef PINWORTH_DESCRIPTOR_REPORT_DESCRIPTOR_H
#define PINWORTH_DESCRIPTOR_REPORT_DESCRIPTOR_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hid::descriptor {

// Limits past which a descriptor counts as malformed.
inline constexpr size_t kMaxPushDepth = 16;       // states saved by Push
inline constexpr size_t kMaxCollectionDepth = 64; // collections open at once
// The longest report a host takes, its report ID byte included; a report's
// data may fill all but that byte.
inline constexpr uint32_t kMaxReportBytes = 16384;

// One item of a descriptor: where it lies and what it holds.
struct Item {
  enum class Type : uint8_t { Main, Global, Local, Reserved, Long };

  size_t offset = 0; // of the item's first byte in the descriptor
  size_t size = 0;   // all of its bytes, prefix included
  Type type = Type::Main;
  // A short item's tag (bits 7-4 of its prefix), or a long item's tag byte.
  uint8_t tag = 0;
  // A short item's data bytes read as a little-endian number; 0 for a long
  // item.
  uint32_t data = 0;
  // The Usage Page in effect at the item, which names a Usage.
  uint32_t usagePage = 0;
  // The collections open around the item: a Collection counts those outside
  // it, an End Collection those outside the collection it closes.
  uint32_t depth = 0;

  // The item's name as HID class definitions give it ("Input", "Usage Page",
  // "Long Item"); a tag with no meaning gives "Reserved Main Item" and the
  // like.
  std::string_view name() const;
  // The bytes of data after the prefix (and a long item's size and tag).
  size_t dataSize() const;
  // data as a two's complement number of dataSize() bytes, for the signed
  // items (Logical and Physical Minimum and Maximum, Unit Exponent). A Unit
  // Exponent from 0 to 15 is read as a 4-bit number, as devices write it.
  int32_t signedData() const;
};

// The fields of one kind sent under one report ID.
struct Report {
  enum class Kind : uint8_t { Input, Output, Feature };

  uint8_t reportID = 0; // 0 for fields declared before any Report ID item
  Kind kind = Kind::Input;
  // Report Size x Report Count summed over the report's main items.
  uint32_t bits = 0;
  // The report's data: bits rounded up to whole bytes, with no report ID.
  uint32_t dataBytes = 0;
  // The report as hidraw reads and writes it: dataBytes, plus 1 for the
  // report ID byte that leads it when the descriptor uses report IDs.
  uint32_t reportBytes = 0;
};

// "Input", "Output" or "Feature".
const char *KindName(Report::Kind kind);

// What is wrong with a descriptor, and the offset of the item at fault.
struct Malformation {
  enum class Kind : uint8_t {
    CutOff,               // the item runs past the end of the descriptor
    PopWithoutPush,       // Pop with no state saved
    PushTooDeep,          // a Push beyond kMaxPushDepth
    EndWithoutCollection, // End Collection with no collection open
    CollectionTooDeep,    // a Collection beyond kMaxCollectionDepth
    UnclosedCollection,   // at the end; offset: the innermost one left open
    BadReportID,          // a Report ID of 0 or above 255
    ReportTooLong,        // a main item takes its report past kMaxReportBytes
  };

  Kind kind = Kind::CutOff;
  size_t offset = 0;

  // What went wrong, in a few words: "Pop without Push".
  std::string_view description() const;
  bool operator==(const Malformation &) const = default;
};

struct Decoded {
  // The items in descriptor order, up to the malformed one if any.
  std::vector<Item> items;
  // One entry per report ID and kind that has a main item, by report ID, then
  // input, output, feature.
  std::vector<Report> reports;
  // Whether a Report ID item was decoded: then every report begins with its
  // ID byte.
  bool usesReportIDs = false;
  // Set when the descriptor is malformed: decoding stopped at the item at
  // fault, or reached the end with collections left open.
  std::optional<Malformation> error;
};

// Decodes the size bytes at data, reading no other byte; data may be null
// when size is 0. Iterates, never recurses.
Decoded Decode(const uint8_t *data, size_t size);

// The items as hid-decode prints them, one a line: "# ", the item's bytes in
// hex, then "// " and its name and value indented by its depth, and its
// offset. A malformed descriptor ends with a line that says what is wrong
// and where. data holds the bytes decoded into decoded.
std::string FormatItems(const Decoded &decoded, const uint8_t *data);

// The report table as text, one report a line: ID, kind, bits, data bytes and
// report bytes.
std::string FormatReports(const Decoded &decoded);

// "Generic Desktop", "Vendor-defined 0xFF00"; the page in hex when it has no
// name here.
std::string UsagePageName(uint32_t page);

// "Mouse", "X", "Button 3" or "Caps Lock" for common usages of a page;
// otherwise the usage in hex, as "Vendor Usage 0x01" in a vendor-defined page.
std::string UsageName(uint32_t page, uint32_t usage);

} // namespace hid::descriptor

#endif
