#include "descriptor/HexText.h"
#include "descriptor/ItemTags.h"
#include "descriptor/ReportDescriptor.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace hid::descriptor {

namespace {

// hid-decode's columns: the bytes, then the description, then the offset.
constexpr size_t kBytesWidth = 30;
constexpr size_t kDescriptionWidth = 35;

// text with blanks after it to fill width characters (UTF-8 sequences, not
// bytes, as unit exponents are written with superscripts).
std::string PaddedTo(std::string text, size_t width) {
  const size_t characters = std::count_if(
      text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
  if (characters < width)
    text.append(width - characters, ' ');
  return text;
}

// An Input, Output or Feature item's bits as hid-decode names them.
std::string MainItemFlags(uint32_t data) {
  static constexpr const char *kFlags[] = {",Wrap", ",NonLin", ",NoPref",
                                           ",Null", ",Vol",    ",Buff"};
  std::string text = data & 0x01 ? "Cnst" : "Data";
  text += data & 0x02 ? ",Var" : ",Arr";
  text += data & 0x04 ? ",Rel" : ",Abs";
  for (int bit = 3; bit <= 8; ++bit)
    if (data & (1u << bit))
      text += kFlags[bit - 3];
  return text;
}

std::string CollectionKindName(uint32_t kind) {
  static constexpr const char *kKinds[] = {
      "Physical",    "Application",  "Logical",       "Report",
      "Named Array", "Usage Switch", "Usage Modifier"};
  if (kind < std::size(kKinds))
    return kKinds[kind];
  if (kind >= 0x80 && kind <= 0xFF)
    return "Vendor-defined " + HexText(kind, 2);
  return "Reserved " + HexText(kind, 2);
}

// "None", or the system and each unit with its exponent: "SILinear: cm * s⁻²".
std::string UnitText(uint32_t unit) {
  static constexpr const char *kSystems[] = {
      "SILinear", "SIRotation", "EnglishLinear", "EnglishRotation"};
  // Length, mass, time, temperature, current, luminous intensity by system.
  static constexpr const char *kUnits[][6] = {
      {"cm", "g", "s", "K", "A", "cd"},
      {"rad", "g", "s", "K", "A", "cd"},
      {"in", "slug", "s", "F", "A", "cd"},
      {"deg", "slug", "s", "F", "A", "cd"}};
  static constexpr const char *kSuperscripts[] = {"⁰", "¹", "²", "³", "⁴",
                                                  "⁵", "⁶", "⁷", "⁸", "⁹"};
  const uint32_t system = unit & 0x0F;
  if (system == 0)
    return "None";
  if (system > std::size(kSystems))
    return HexText(unit, 8);
  std::string units;
  for (int i = 0; i < 6; ++i) {
    const int nibble = (unit >> (4 * (i + 1))) & 0x0F;
    const int exponent = nibble < 8 ? nibble : nibble - 16;
    if (exponent == 0)
      continue;
    units += (units.empty() ? "" : " * ") + std::string(kUnits[system - 1][i]);
    if (exponent != 1)
      units += (exponent < 0 ? "⁻" : "") +
               std::string(kSuperscripts[exponent < 0 ? -exponent : exponent]);
  }
  return units.empty() ? "None" : kSystems[system - 1] + (": " + units);
}

std::string MainValue(const Item &item) {
  switch (item.tag) {
  case tags::kInput:
  case tags::kOutput:
  case tags::kFeature:
    return MainItemFlags(item.data);
  case tags::kCollection:
    return CollectionKindName(item.data);
  }
  return {};
}

std::string GlobalValue(const Item &item) {
  switch (item.tag) {
  case tags::kUsagePage:
    return UsagePageName(item.data);
  case tags::kUnit:
    return UnitText(item.data);
  case tags::kPush:
  case tags::kPop:
    return {};
  }
  if (item.tag >= tags::kLogicalMinimum && item.tag <= tags::kUnitExponent)
    return std::to_string(item.signedData());
  return std::to_string(item.data);
}

std::string LocalValue(const Item &item) {
  if (item.tag != tags::kUsage)
    return std::to_string(item.data);
  if (item.dataSize() == 4)
    return UsageName(item.data >> 16, item.data & 0xFFFF);
  return UsageName(item.usagePage, item.data);
}

// What follows the item's name in parentheses; nothing for items without a
// value.
std::string ItemValue(const Item &item) {
  if (item.type == Item::Type::Long)
    return "tag " + HexText(item.tag, 2) + ", " +
           std::to_string(item.dataSize()) + " bytes";
  if (item.name().starts_with("Reserved"))
    return item.dataSize() ? std::to_string(item.data) : std::string();
  switch (item.type) {
  case Item::Type::Main:
    return MainValue(item);
  case Item::Type::Global:
    return GlobalValue(item);
  default:
    return LocalValue(item);
  }
}

} // namespace

const char *KindName(Report::Kind kind) {
  switch (kind) {
  case Report::Kind::Input:
    return "Input";
  case Report::Kind::Output:
    return "Output";
  case Report::Kind::Feature:
    return "Feature";
  }
  return "";
}

std::string FormatItems(const Decoded &decoded, const uint8_t *data) {
  std::string text;
  for (const Item &item : decoded.items) {
    std::string bytes;
    for (size_t i = 0; i < item.size; ++i) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02x,", data[item.offset + i]);
      if (i)
        bytes += ' ';
      bytes += byte;
    }
    std::string description = std::string(item.depth, ' ');
    description += item.name();
    if (std::string value = ItemValue(item); !value.empty())
      description += " (" + value + ")";
    text += "# " + PaddedTo(bytes, kBytesWidth) + " // " +
            PaddedTo(description, kDescriptionWidth) + " " +
            std::to_string(item.offset) + "\n";
  }
  if (decoded.error)
    text += "# malformed at offset " + std::to_string(decoded.error->offset) +
            ": " + std::string(decoded.error->description()) + "\n";
  return text;
}

std::string FormatReports(const Decoded &decoded) {
  std::string text = decoded.usesReportIDs
                         ? "Report bytes: the data bytes and the report ID "
                           "byte that leads them\n"
                         : "No report IDs: report bytes are the data bytes\n";
  text += " ID  Kind        Bits  Data bytes  Report bytes\n";
  for (const Report &report : decoded.reports) {
    const std::string id =
        decoded.usesReportIDs ? std::to_string(report.reportID) : "-";
    char line[80];
    std::snprintf(line, sizeof line, "%3s  %-7s %9u  %10u  %12u\n", id.c_str(),
                  KindName(report.kind), report.bits, report.dataBytes,
                  report.reportBytes);
    text += line;
  }
  return text;
}

} // namespace hid::descriptor
