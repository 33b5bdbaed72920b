#include "descriptor/ItemTags.h"
#include "descriptor/ReportDescriptor.h"

namespace hid::descriptor {

namespace {

using Names = std::string_view[16];

// Short item names by tag; an empty name is a reserved tag.
constexpr Names kMainNames = {"",
                              "",
                              "",
                              "",
                              "",
                              "",
                              "",
                              "",
                              "Input",
                              "Output",
                              "Collection",
                              "Feature",
                              "End Collection"};
constexpr Names kGlobalNames = {"Usage Page",
                                "Logical Minimum",
                                "Logical Maximum",
                                "Physical Minimum",
                                "Physical Maximum",
                                "Unit Exponent",
                                "Unit",
                                "Report Size",
                                "Report ID",
                                "Report Count",
                                "Push",
                                "Pop"};
constexpr Names kLocalNames = {"Usage",
                               "Usage Minimum",
                               "Usage Maximum",
                               "Designator Index",
                               "Designator Minimum",
                               "Designator Maximum",
                               "",
                               "String Index",
                               "String Minimum",
                               "String Maximum",
                               "Delimiter"};

int32_t SignExtend(uint32_t value, unsigned bits) {
  const uint32_t sign = uint32_t{1} << (bits - 1);
  return static_cast<int32_t>((value ^ sign) - sign);
}

} // namespace

std::string_view Item::name() const {
  switch (type) {
  case Type::Main:
    return kMainNames[tag].empty() ? "Reserved Main Item" : kMainNames[tag];
  case Type::Global:
    return kGlobalNames[tag].empty() ? "Reserved Global Item"
                                     : kGlobalNames[tag];
  case Type::Local:
    return kLocalNames[tag].empty() ? "Reserved Local Item" : kLocalNames[tag];
  case Type::Reserved:
    return "Reserved Item";
  case Type::Long:
    return "Long Item";
  }
  return {};
}

size_t Item::dataSize() const {
  return size - (type == Type::Long ? 3 : 1);
}

int32_t Item::signedData() const {
  if (type == Type::Global && tag == tags::kUnitExponent && data < 16)
    return SignExtend(data, 4);
  if (type == Type::Long || dataSize() == 0)
    return 0;
  return SignExtend(data, 8 * static_cast<unsigned>(dataSize()));
}

std::string_view Malformation::description() const {
  switch (kind) {
  case Kind::CutOff:
    return "item cut off by the end of the descriptor";
  case Kind::PopWithoutPush:
    return "Pop without Push";
  case Kind::PushTooDeep:
    return "too many Push items";
  case Kind::EndWithoutCollection:
    return "End Collection without Collection";
  case Kind::CollectionTooDeep:
    return "collections nested too deeply";
  case Kind::UnclosedCollection:
    return "Collection never ended";
  case Kind::BadReportID:
    return "Report ID not from 1 to 255";
  case Kind::ReportTooLong:
    return "report too long";
  }
  return {};
}

} // namespace hid::descriptor
