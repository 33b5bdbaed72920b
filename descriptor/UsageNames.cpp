#include "descriptor/HexText.h"
#include "descriptor/ReportDescriptor.h"

#include <algorithm>
#include <iterator>

namespace hid::descriptor {

namespace {

struct Named {
  uint32_t value;
  std::string_view name;
};

// Each table is sorted by value.
constexpr Named kPages[] = {
    {0x00, "Undefined"},
    {0x01, "Generic Desktop"},
    {0x02, "Simulation Controls"},
    {0x03, "VR Controls"},
    {0x04, "Sport Controls"},
    {0x05, "Game Controls"},
    {0x06, "Generic Device Controls"},
    {0x07, "Keyboard/Keypad"},
    {0x08, "LED"},
    {0x09, "Button"},
    {0x0A, "Ordinal"},
    {0x0B, "Telephony Device"},
    {0x0C, "Consumer"},
    {0x0D, "Digitizers"},
    {0x0E, "Haptics"},
    {0x0F, "Physical Input Device"},
    {0x10, "Unicode"},
    {0x12, "Eye and Head Trackers"},
    {0x14, "Alphanumeric Display"},
    {0x20, "Sensors"},
    {0x40, "Medical Instrument"},
    {0x41, "Braille Display"},
    {0x59, "Lighting and Illumination"},
    {0x80, "Monitor"},
    {0x84, "Power Device"},
    {0x85, "Battery System"},
    {0x8C, "Barcode Scanner"},
    {0x8D, "Scales"},
    {0x8E, "Magnetic Stripe Reader"},
    {0x90, "Camera Control"},
    {0x91, "Arcade"},
    {0x92, "Gaming Device"},
    {0xF1D0, "FIDO Alliance"},
};

constexpr Named kGenericDesktopUsages[] = {
    {0x01, "Pointer"},
    {0x02, "Mouse"},
    {0x04, "Joystick"},
    {0x05, "Game Pad"},
    {0x06, "Keyboard"},
    {0x07, "Keypad"},
    {0x08, "Multi-axis Controller"},
    {0x30, "X"},
    {0x31, "Y"},
    {0x32, "Z"},
    {0x33, "Rx"},
    {0x34, "Ry"},
    {0x35, "Rz"},
    {0x36, "Slider"},
    {0x37, "Dial"},
    {0x38, "Wheel"},
    {0x39, "Hat switch"},
    {0x3D, "Start"},
    {0x3E, "Select"},
    {0x48, "Resolution Multiplier"},
    {0x80, "System Control"},
    {0x81, "System Power Down"},
    {0x82, "System Sleep"},
    {0x83, "System Wake Up"},
    {0x90, "D-pad Up"},
    {0x91, "D-pad Down"},
    {0x92, "D-pad Right"},
    {0x93, "D-pad Left"},
};

constexpr Named kLEDUsages[] = {
    {0x01, "Num Lock"}, {0x02, "Caps Lock"}, {0x03, "Scroll Lock"},
    {0x04, "Compose"},  {0x05, "Kana"},
};

constexpr Named kConsumerUsages[] = {
    {0x01, "Consumer Control"},    {0xB5, "Scan Next Track"},
    {0xB6, "Scan Previous Track"}, {0xB7, "Stop"},
    {0xCD, "Play/Pause"},          {0xE2, "Mute"},
    {0xE9, "Volume Increment"},    {0xEA, "Volume Decrement"},
};

constexpr uint32_t kGenericDesktopPage = 0x01;
constexpr uint32_t kLEDPage = 0x08;
constexpr uint32_t kButtonPage = 0x09;
constexpr uint32_t kConsumerPage = 0x0C;

template <size_t N>
std::optional<std::string_view> Find(const Named (&table)[N], uint32_t value) {
  const auto found = std::lower_bound(
      std::begin(table), std::end(table), value,
      [](const Named &named, uint32_t v) { return named.value < v; });
  if (found == std::end(table) || found->value != value)
    return std::nullopt;
  return found->name;
}

bool IsVendorDefined(uint32_t page) {
  return page >= 0xFF00 && page <= 0xFFFF;
}

} // namespace

std::string UsagePageName(uint32_t page) {
  if (IsVendorDefined(page))
    return "Vendor-defined " + HexText(page, 4);
  if (std::optional<std::string_view> name = Find(kPages, page))
    return std::string(*name);
  return HexText(page, 4);
}

std::string UsageName(uint32_t page, uint32_t usage) {
  std::optional<std::string_view> name;
  switch (page) {
  case kGenericDesktopPage:
    name = Find(kGenericDesktopUsages, usage);
    break;
  case kLEDPage:
    name = Find(kLEDUsages, usage);
    break;
  case kButtonPage:
    return usage == 0 ? "No Button Pressed" : "Button " + std::to_string(usage);
  case kConsumerPage:
    name = Find(kConsumerUsages, usage);
    break;
  }
  if (name)
    return std::string(*name);
  return (IsVendorDefined(page) ? "Vendor Usage " : "") + HexText(usage, 2);
}

} // namespace hid::descriptor
