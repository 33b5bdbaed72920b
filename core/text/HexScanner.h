// Hexadecimal text as the report form's fields hold it.
#ifndef PINWORTH_EXPLORER_HEX_SCANNER_H
#define PINWORTH_EXPLORER_HEX_SCANNER_H

#include <QChar>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace core {

// The value of one hexadecimal digit (0-9, a-f, A-F), or -1 for any other
// character.
int HexDigitValue(QChar c);

// Scans an unsigned hexadecimal number at the start of text:
// - leading white space and line ends (QChar::isSpace) are skipped;
// - an optional "0x" or "0X" prefix comes next; a prefix counts as one only
//   when a hexadecimal digit follows it, and a "0x" with no digit after it
//   ("0x", "0xg", "0X ") is rejected rather than read as the digit 0, so a
//   half-typed value never turns into a byte 00;
// - then one or more of 0-9, a-f, A-F; scanning stops at the first other
//   character, and whatever follows is not examined.
// Returns false, leaving *outValue alone, when there is no digit or when the
// digits' value does not fit in 32 bits (it is never wrapped). outValue may be
// null.
bool ScanHexInt(QStringView text, unsigned *outValue);

// The value of a form field holding a byte: ScanHexInt's rule with the value
// limited to 0..255; no value otherwise.
std::optional<uint8_t> ParseHexByte(QStringView text);

} // namespace core

#endif
