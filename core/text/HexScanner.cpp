#include "core/text/HexScanner.h"

#include <limits>

namespace core {

int HexDigitValue(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9')
    return u - u'0';
  if (u >= u'a' && u <= u'f')
    return u - u'a' + 10;
  if (u >= u'A' && u <= u'F')
    return u - u'A' + 10;
  return -1;
}

bool ScanHexInt(QStringView text, unsigned *outValue) {
  qsizetype at = 0;
  while (at < text.size() && text[at].isSpace())
    ++at;
  if (at + 1 < text.size() && text[at] == u'0' &&
      (text[at + 1] == u'x' || text[at + 1] == u'X')) {
    at += 2; // a prefix; the digit loop below insists on a digit after it
  }
  constexpr uint64_t kMaxValue = std::numeric_limits<uint32_t>::max();
  uint64_t value = 0;
  qsizetype digits = 0;
  for (; at < text.size(); ++at, ++digits) {
    const int digit = HexDigitValue(text[at]);
    if (digit < 0)
      break;
    value = value * 16 + unsigned(digit);
    if (value > kMaxValue)
      return false;
  }
  if (digits == 0)
    return false;
  if (outValue)
    *outValue = unsigned(value);
  return true;
}

std::optional<uint8_t> ParseHexByte(QStringView text) {
  unsigned value = 0;
  if (!ScanHexInt(text, &value) || value > 0xFF)
    return std::nullopt;
  return uint8_t(value);
}

} // namespace core
