#include "core/reports/LogRowText.h"

#include <QDateTime>

#include <algorithm>

namespace core {

namespace {

QByteArray CsvField(const QString &text) {
  QByteArray field = text.toUtf8();
  if (std::none_of(field.begin(), field.end(), [](char c) {
        return c == ',' || c == '"' || c == '\n' || c == '\r';
      }))
    return field;
  return '"' + field.replace('"', "\"\"") + '"';
}

void AppendHex(QByteArray &record, uint8_t byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  record.append(kHex[byte >> 4]).append(kHex[byte & 0xF]);
}

} // namespace

QString EventRowText(capture::EventKind kind, const InterfaceIdentity &source) {
  const QString device = QStringLiteral("%1 (SN %2)")
                             .arg(source.modelName())
                             .arg(source.serialNumber);
  switch (kind) {
  case capture::EventKind::Unplugged:
    return QStringLiteral("unplugged: ") + device;
  case capture::EventKind::PluggedIn:
    return QStringLiteral("plugged in: ") + device;
  case capture::EventKind::ListeningStarted:
    return QStringLiteral("started listening: ") + source.displayName();
  case capture::EventKind::ListeningStopped:
    return QStringLiteral("stopped listening: ") + source.displayName();
  case capture::EventKind::PollingStarted:
    return QStringLiteral("started polling: ") + source.displayName();
  case capture::EventKind::PollingStopped:
    return QStringLiteral("stopped polling: ") + source.displayName();
  }
  return QString();
}

QString EventRowText(capture::EventKind kind) {
  switch (kind) {
  case capture::EventKind::Unplugged:
    return QStringLiteral("unplugged");
  case capture::EventKind::PluggedIn:
    return QStringLiteral("plugged in");
  case capture::EventKind::ListeningStarted:
    return QStringLiteral("started listening");
  case capture::EventKind::ListeningStopped:
    return QStringLiteral("stopped listening");
  case capture::EventKind::PollingStarted:
    return QStringLiteral("started polling");
  case capture::EventKind::PollingStopped:
    return QStringLiteral("stopped polling");
  }
  return QString();
}

QString LossRowText(uint32_t count) {
  return QStringLiteral("%1 reports lost: the explorer could not keep up")
      .arg(count);
}

QString MemoryFullRowText(uint32_t count) {
  return QStringLiteral("%1 reports not kept: the log in memory is full")
      .arg(count);
}

QString WritingStoppedRowText() {
  return QStringLiteral("writing the log to disk stopped here");
}

QByteArray CsvHeader() {
  QByteArray header = "time,wall_time,source,direction,report_id";
  for (int offset = 0; offset < kCsvDataColumns; ++offset)
    header += ",byte_" + QByteArray::number(offset);
  return header + ",decoded\r\n";
}

namespace {

// The civil date of a count of days since 1970-01-01, in the proleptic
// Gregorian calendar (H. Hinnant's days_from_civil, inverted).
void CivilFromDays(int64_t days, int64_t &year, int &month, int &day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t ofEra = days - era * 146097;
  const int64_t yearOfEra =
      (ofEra - ofEra / 1460 + ofEra / 36524 - ofEra / 146096) / 365;
  const int64_t ofYear =
      ofEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shifted = (5 * ofYear + 2) / 153; // March is 0
  day = int(ofYear - (153 * shifted + 2) / 5 + 1);
  month = int(shifted < 10 ? shifted + 3 : shifted - 9);
  year = yearOfEra + era * 400 + (month <= 2);
}

// Writes value's last digits digits at at.
void PutDigits(char *at, int64_t value, int digits) {
  for (int i = digits - 1; i >= 0; --i, value /= 10)
    at[i] = char('0' + value % 10);
}

} // namespace

// Years 1970 to 9999 are written here, as QDateTime would (which takes
// about a microsecond a time); the others by QDateTime.
QByteArray IsoWallTime(int64_t unixUS) {
  constexpr int64_t kUSPerDay = 86'400'000'000;
  constexpr int64_t kYear10000US = 253'402'300'800'000'000;
  const int64_t micro = ((unixUS % 1000) + 1000) % 1000;
  if (unixUS < 0 || unixUS >= kYear10000US)
    return QDateTime::fromMSecsSinceEpoch((unixUS - micro) / 1000, Qt::UTC)
               .toString("yyyy-MM-ddTHH:mm:ss.zzz")
               .toLatin1() +
           QByteArray::number(micro).rightJustified(3, '0') + 'Z';
  int64_t year;
  int month, day;
  CivilFromDays(unixUS / kUSPerDay, year, month, day);
  const int64_t ofDay = unixUS % kUSPerDay;
  char text[] = "yyyy-MM-ddTHH:mm:ss.uuuuuuZ";
  PutDigits(text, year, 4);
  PutDigits(text + 5, month, 2);
  PutDigits(text + 8, day, 2);
  PutDigits(text + 11, ofDay / 3'600'000'000, 2);
  PutDigits(text + 14, ofDay / 60'000'000 % 60, 2);
  PutDigits(text + 17, ofDay / 1'000'000 % 60, 2);
  PutDigits(text + 20, ofDay % 1'000'000, 6);
  return QByteArray(text, sizeof text - 1);
}

QByteArray CsvRecord(const CsvRow &row) {
  QByteArray record;
  record.reserve(128);
  AppendCsvRecord(record, row);
  return record;
}

void AppendCsvRecord(QByteArray &record, const CsvRow &row) {
  record += QByteArray::number(row.seconds, 'f', 6);
  record += ',';
  record += IsoWallTime(row.unixUS);
  record += ',';
  record += CsvField(row.source);
  record += ',';
  record += row.direction;
  record += ',';
  if (row.reportID >= 0)
    AppendHex(record, uint8_t(row.reportID));
  for (int offset = 0; offset < kCsvDataColumns; ++offset) {
    record += ',';
    if (offset < row.size)
      AppendHex(record, row.data[offset]);
  }
  record += ',';
  record += CsvField(row.decoded);
  record += "\r\n";
}

} // namespace core
