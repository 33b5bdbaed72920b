// Numbers in hexadecimal, as the descriptor's text shows them.
#ifndef PINWORTH_DESCRIPTOR_HEX_TEXT_H
#define PINWORTH_DESCRIPTOR_HEX_TEXT_H

#include <cstdint>
#include <cstdio>
#include <string>

namespace hid::descriptor {

// value as "0x" and at least digits upper-case hex digits: "0xFF00".
inline std::string HexText(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

} // namespace hid::descriptor

#endif
