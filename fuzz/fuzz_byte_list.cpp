// The pasted byte-list parser on any UTF-8 text. A list that parses has 1 to
// 64 bytes, holds nothing but digits, prefixes, brackets and separators, and
// parses back to its bytes from hex pairs and from a bracketed decimal list;
// one that does not has a reason.
#include "core/ByteList.h"
#include "core/HexScanner.h"
#include "fuzz/FuzzCheck.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
  QString error;
  const std::optional<QByteArray> bytes = ParseByteList(text, &error);
  FUZZ_CHECK(ParseByteList(text).has_value() == bytes.has_value());
  if (!bytes) {
    FUZZ_CHECK(!error.isEmpty());
    return 0;
  }
  FUZZ_CHECK(!bytes->isEmpty() && bytes->size() <= kMaxByteListLength);
  for (QChar c : text)
    FUZZ_CHECK(HexDigitValue(c) >= 0 || c.isSpace() ||
               QStringView(u"xX[],:;").contains(c));
  QStringList decimals;
  for (char byte : *bytes)
    decimals << QString::number(uint8_t(byte));
  FUZZ_CHECK(ParseByteList(QString::fromLatin1(bytes->toHex(' '))) == bytes);
  FUZZ_CHECK(ParseByteList('[' + decimals.join(", ") + ']') == bytes);
  return 0;
}
