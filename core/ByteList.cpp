#include "core/ByteList.h"

#include "core/HexScanner.h"

#include <algorithm>

namespace {

bool IsSeparator(QChar c) {
  return c.isSpace() || c == u',' || c == u':' || c == u';';
}

// One value of a bracketed list: up to three decimal digits, or two
// hexadecimal ones after 0x. A sign is not a digit.
std::optional<int> BracketedValue(QStringView token) {
  const bool hex = token.startsWith(u"0x", Qt::CaseInsensitive);
  const QStringView digits = hex ? token.sliced(2) : token;
  const int base = hex ? 16 : 10;
  const bool allDigits =
      std::all_of(digits.begin(), digits.end(), [base](QChar c) {
        return HexDigitValue(c) >= 0 && HexDigitValue(c) < base;
      });
  if (!allDigits || digits.isEmpty() || digits.size() > (hex ? 2 : 3))
    return std::nullopt;
  return digits.toInt(nullptr, base);
}

} // namespace

std::optional<QByteArray> ParseByteList(QStringView text, QString *error) {
  const auto fail = [error](const QString &reason) {
    if (error)
      *error = reason;
    return std::nullopt;
  };
  text = text.trimmed();
  const bool bracketed = text.startsWith(u'[');
  if (bracketed) {
    if (!text.endsWith(u']'))
      return fail(QStringLiteral("the list has no closing ']'"));
    text = text.sliced(1, text.size() - 2);
  }
  QByteArray bytes;
  for (qsizetype at = 0; at < text.size();) {
    if (IsSeparator(text[at])) {
      ++at;
      continue;
    }
    qsizetype end = at;
    while (end < text.size() && !IsSeparator(text[end]))
      ++end;
    const QStringView token = text.sliced(at, end - at);
    at = end;
    if (bracketed) {
      const std::optional<int> value = BracketedValue(token);
      if (!value || *value < 0 || *value > 255)
        return fail(
            QStringLiteral("\"%1\" is not a byte from 0 to 255").arg(token));
      bytes.append(char(*value));
      continue;
    }
    const bool prefixed = token.startsWith(u"0x", Qt::CaseInsensitive);
    const QStringView digits = prefixed ? token.sliced(2) : token;
    const bool allHex = !digits.isEmpty() &&
                        std::all_of(digits.begin(), digits.end(), [](QChar c) {
                          return HexDigitValue(c) >= 0;
                        });
    if (!allHex || (prefixed && digits.size() > 2) ||
        (digits.size() > 2 && digits.size() % 2))
      return fail(QStringLiteral("\"%1\" is not a byte in hexadecimal, 00 to "
                                 "ff")
                      .arg(token));
    if (digits.size() <= 2)
      bytes.append(char(digits.toInt(nullptr, 16)));
    else
      for (qsizetype i = 0; i < digits.size(); i += 2)
        bytes.append(char(digits.sliced(i, 2).toInt(nullptr, 16)));
  }
  if (bytes.isEmpty())
    return fail(QStringLiteral("no byte is listed"));
  if (bytes.size() > kMaxByteListLength)
    return fail(QStringLiteral("more than %1 bytes are listed")
                    .arg(kMaxByteListLength));
  return bytes;
}
