#include "MacroEntry.h"

#include "framework/HexScanner.h"

#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {

// Pairs of hex digits, blanks allowed between pairs only.
std::optional<QByteArray> BytesFromHexPairs(const QString &text) {
  QByteArray bytes;
  qsizetype at = 0;
  while (at < text.size()) {
    if (text[at].isSpace()) {
      ++at;
      continue;
    }
    if (at + 1 >= text.size())
      return std::nullopt;
    const int high = HexDigitValue(text[at]);
    const int low = HexDigitValue(text[at + 1]);
    if (high < 0 || low < 0)
      return std::nullopt;
    bytes.append(char(high * 16 + low));
    at += 2;
  }
  return bytes;
}

std::optional<int32_t> Int32FromJson(const QJsonValue &value) {
  if (!value.isDouble())
    return std::nullopt;
  const double number = value.toDouble();
  if (number != std::trunc(number) ||
      number < std::numeric_limits<int32_t>::min() ||
      number > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return int32_t(number);
}

std::optional<ReportRecord> RecordFromJson(const QJsonValue &stored) {
  if (!stored.isObject())
    return std::nullopt;
  const QJsonObject object = stored.toObject();
  const QJsonValue direction = object.value(kReportDirectionKey);
  const QJsonValue data = object.value(kReportDataKey);
  const QJsonValue name = object.value(kMacroNameKey);
  if (!direction.isString() || !data.isString() || !name.isString())
    return std::nullopt;
  const QString directionText = direction.toString();
  if (directionText != kReportDirectionIn &&
      directionText != kReportDirectionOut)
    return std::nullopt;
  const std::optional<int32_t> reportID =
      Int32FromJson(object.value(kReportIDKey));
  const std::optional<QByteArray> bytes = BytesFromHexPairs(data.toString());
  if (!reportID || !bytes)
    return std::nullopt;
  return ReportRecord{directionText, *reportID, *bytes, name.toString()};
}

QJsonValue JsonFromRecord(const ReportRecord &record) {
  return QJsonObject{
      {kReportDirectionKey, record.direction},
      {kReportIDKey, record.reportID},
      {kReportDataKey, QString::fromLatin1(record.data.toHex(' '))},
      {kMacroNameKey, record.name}};
}

} // namespace

MacroEntry::MacroEntry(const QJsonValue &stored)
    : stored_(stored), record_(RecordFromJson(stored)) {}

MacroEntry::MacroEntry(const ReportRecord &record)
    : MacroEntry(JsonFromRecord(record)) {}

MacroEntry MacroEntry::fromStored(const QJsonValue &stored) {
  return MacroEntry(stored);
}

QString MacroEntry::name() const {
  if (record_)
    return record_->name;
  return stored_.toObject().value(kMacroNameKey).toString();
}
