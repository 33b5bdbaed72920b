#include "core/preferences/StoredValues.h"

#include "core/text/HexScanner.h"

namespace core {

std::optional<QByteArray> BytesFromHexPairs(const QString &text) {
  QByteArray bytes;
  for (qsizetype at = 0; at < text.size();) {
    if (text[at].isSpace()) {
      ++at;
      continue;
    }
    const int high = HexDigitValue(text[at]);
    const int low = at + 1 < text.size() ? HexDigitValue(text[at + 1]) : -1;
    if (high < 0 || low < 0)
      return std::nullopt;
    bytes.append(char(high * 16 + low));
    at += 2;
  }
  return bytes;
}

std::optional<int32_t> Int32FromNumber(const QByteArray &number) {
  const qsizetype point = number.indexOf('.');
  const QByteArray integer = point < 0 ? number : number.left(point);
  if (point >= 0 &&
      number.sliced(point + 1).count('0') != number.size() - point - 1)
    return std::nullopt;
  bool ok = false;
  const qlonglong value = integer.toLongLong(&ok);
  if (!ok || value < INT32_MIN || value > INT32_MAX)
    return std::nullopt;
  return int32_t(value);
}

const json::Value *UniqueMember(const json::Value &object, QLatin1String key,
                                json::Value::Kind kind) {
  bool duplicated = false;
  const json::Value *member = object.member(key, &duplicated);
  return member && !duplicated && member->kind == kind ? member : nullptr;
}

} // namespace core
