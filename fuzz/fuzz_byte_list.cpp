// The typed and pasted byte-list parser on any UTF-8 text, after a first
// byte that sets the room the caller has (1 to 64 bytes). A list that parses
// has at least one byte and no more than fit, is what the same text gives
// with all the room there is, and parses back to its bytes from hex pairs,
// a bracketed decimal list and one text of \x escapes; one that does not has
// a reason and still does not parse with the room it lacked. Without a
// quote, it holds nothing but digits, prefixes, brackets and separators.
#include "core/text/ByteList.h"
#include "core/text/HexScanner.h"
#include "fuzz/FuzzCheck.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  const int room = 1 + data[0] % core::kMaxByteListLength;
  const QString text = QString::fromUtf8(
      reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
  QString error;
  const std::optional<QByteArray> bytes =
      core::ParseByteList(text, &error, room);
  const std::optional<QByteArray> roomy = core::ParseByteList(text);
  FUZZ_CHECK(core::ParseByteList(text, nullptr, room).has_value() ==
             bytes.has_value());
  if (!bytes) {
    FUZZ_CHECK(!error.isEmpty());
    FUZZ_CHECK(!roomy || roomy->size() > room);
    return 0;
  }
  FUZZ_CHECK(!bytes->isEmpty() && bytes->size() <= room);
  FUZZ_CHECK(roomy == bytes);
  if (!text.contains(u'"') && !text.contains(u'\''))
    for (QChar c : text)
      FUZZ_CHECK(core::HexDigitValue(c) >= 0 || c.isSpace() ||
                 QStringView(u"xX[],:;").contains(c));
  QStringList decimals;
  QString escaped;
  for (char byte : *bytes) {
    decimals << QString::number(uint8_t(byte));
    escaped += QString::asprintf("\\x%02X", unsigned(uint8_t(byte)));
  }
  FUZZ_CHECK(core::ParseByteList(QString::fromLatin1(bytes->toHex(' '))) ==
             bytes);
  FUZZ_CHECK(core::ParseByteList('[' + decimals.join(", ") + ']') == bytes);
  FUZZ_CHECK(core::ParseByteList('\'' + escaped + '\'') == bytes);
  return 0;
}
