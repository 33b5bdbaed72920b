// The report form's hexadecimal scanner on any UTF-8 text. ParseHexByte
// accepts exactly what ScanHexInt accepts up to 255, a rejection leaves the
// output alone, and an accepted value is that of the digits Qt reads.
#include "core/text/HexScanner.h"
#include "fuzz/FuzzCheck.h"

#include <QString>

namespace {

// The hex digits after the leading blanks and an optional 0x of text.
QStringView DigitRun(QStringView text) {
  qsizetype at = 0;
  while (at < text.size() && text[at].isSpace())
    ++at;
  if (text.sliced(at).startsWith(u"0x", Qt::CaseInsensitive))
    at += 2;
  qsizetype end = at;
  while (end < text.size() && core::HexDigitValue(text[end]) >= 0)
    ++end;
  return text.sliced(at, end - at);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
  constexpr unsigned kUntouched = 0xA5A5A5A5;
  unsigned value = kUntouched;
  const bool scanned = core::ScanHexInt(text, &value);
  FUZZ_CHECK(core::ScanHexInt(text, nullptr) == scanned);
  const std::optional<uint8_t> byte = core::ParseHexByte(text);
  FUZZ_CHECK(byte.has_value() == (scanned && value <= 0xFF));
  FUZZ_CHECK(!byte || *byte == value);

  bool fits = false;
  const QStringView run = DigitRun(text);
  const qulonglong expected = run.toULongLong(&fits, 16);
  fits = fits && expected <= 0xFFFFFFFF;
  FUZZ_CHECK(scanned == (!run.isEmpty() && fits));
  FUZZ_CHECK(scanned ? value == expected : value == kUntouched);
  return 0;
}
