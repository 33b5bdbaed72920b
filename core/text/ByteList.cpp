#include "core/text/ByteList.h"

#include "core/text/HexScanner.h"

#include <algorithm>

namespace core {

namespace {

bool IsSeparator(QChar c) {
  return c.isSpace() || c == u',' || c == u':' || c == u';';
}

bool IsQuote(QChar c) {
  return c == u'"' || c == u'\'';
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

// Reads a list from its text, appending to bytes; each step returns the
// reason it refuses, or an empty string.
class ListReader {
public:
  ListReader(QStringView text, bool bracketed)
      : text_(text), bracketed_(bracketed) {}

  QString read() {
    while (at_ < text_.size()) {
      if (IsSeparator(text_[at_])) {
        ++at_;
        continue;
      }
      const QString reason = IsQuote(text_[at_]) ? readText() : readToken();
      if (!reason.isEmpty())
        return reason;
    }
    return QString();
  }

  const QByteArray &bytes() const { return bytes_; }

private:
  QString readToken() {
    qsizetype end = at_;
    while (end < text_.size() && !IsSeparator(text_[end]) &&
           !IsQuote(text_[end]))
      ++end;
    const QStringView token = text_.sliced(at_, end - at_);
    at_ = end;
    return bracketed_ ? takeBracketedValue(token) : takeHexBytes(token);
  }

  QString takeBracketedValue(QStringView token) {
    const std::optional<int> value = BracketedValue(token);
    if (!value || *value < 0 || *value > 255)
      return QStringLiteral("\"%1\" is not a byte from 0 to 255").arg(token);
    bytes_.append(char(*value));
    return QString();
  }

  QString takeHexBytes(QStringView token) {
    const bool prefixed = token.startsWith(u"0x", Qt::CaseInsensitive);
    const QStringView digits = prefixed ? token.sliced(2) : token;
    const bool allHex = !digits.isEmpty() &&
                        std::all_of(digits.begin(), digits.end(), [](QChar c) {
                          return HexDigitValue(c) >= 0;
                        });
    if (!allHex || (prefixed && digits.size() > 2) ||
        (digits.size() > 2 && digits.size() % 2))
      return QStringLiteral("\"%1\" is not a byte in hexadecimal, 00 to ff")
          .arg(token);
    if (digits.size() <= 2)
      bytes_.append(char(digits.toInt(nullptr, 16)));
    else
      for (qsizetype i = 0; i < digits.size(); i += 2)
        bytes_.append(char(digits.sliced(i, 2).toInt(nullptr, 16)));
    return QString();
  }

  // A quoted text, from its opening quote at at_ through its closing one.
  QString readText() {
    const qsizetype start = at_;
    const QChar quote = text_[at_++];
    while (at_ < text_.size() && text_[at_] != quote) {
      const QChar c = text_[at_];
      if (c == u'\\') {
        const QString reason = takeEscape();
        if (!reason.isEmpty())
          return reason;
        continue;
      }
      if (c.unicode() > 0x7f) {
        const qsizetype length =
            c.isHighSurrogate() && at_ + 1 < text_.size() ? 2 : 1;
        return QStringLiteral("'%1' is not an ASCII character")
            .arg(text_.sliced(at_, length));
      }
      bytes_.append(char(c.unicode()));
      ++at_;
    }
    if (at_ == text_.size())
      return QStringLiteral("the text %1 has no closing %2")
          .arg(text_.sliced(start), quote);
    ++at_;
    return QString();
  }

  // The escape at at_ (a backslash) in a text.
  QString takeEscape() {
    const QStringView rest = text_.sliced(at_ + 1);
    if (rest.isEmpty())
      return QStringLiteral("the text ends in a lone \\");
    static constexpr struct {
      char16_t name;
      char byte;
    } kEscapes[] = {{u'\\', '\\'}, {u'"', '"'},  {u'\'', '\''},
                    {u'n', '\n'},  {u'r', '\r'}, {u't', '\t'}};
    for (const auto &escape : kEscapes)
      if (rest[0] == escape.name) {
        bytes_.append(escape.byte);
        at_ += 2;
        return QString();
      }
    if (rest[0] == u'x' && rest.size() >= 3 && HexDigitValue(rest[1]) >= 0 &&
        HexDigitValue(rest[2]) >= 0) {
      bytes_.append(char(HexDigitValue(rest[1]) * 16 + HexDigitValue(rest[2])));
      at_ += 4;
      return QString();
    }
    qsizetype shown = 1;
    if (rest[0] == u'x')
      shown = std::min<qsizetype>(3, rest.size());
    else if (rest[0].isHighSurrogate() && rest.size() > 1)
      shown = 2;
    return QStringLiteral("\"\\%1\" is not an escape: a text takes \\\\, "
                          "\\\", \\', \\n, \\r, \\t and \\xHH")
        .arg(rest.first(shown));
  }

  QStringView text_;
  bool bracketed_;
  qsizetype at_ = 0;
  QByteArray bytes_;
};

} // namespace

std::optional<QByteArray> ParseByteList(QStringView text, QString *error,
                                        int maxBytes) {
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
  ListReader reader(text, bracketed);
  if (const QString reason = reader.read(); !reason.isEmpty())
    return fail(reason);
  if (reader.bytes().isEmpty())
    return fail(QStringLiteral("no byte is listed"));
  if (reader.bytes().size() > maxBytes)
    return fail(QStringLiteral("%1 bytes are listed, more than the %2 that fit")
                    .arg(reader.bytes().size())
                    .arg(maxBytes));
  return reader.bytes();
}

} // namespace core
