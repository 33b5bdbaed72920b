#include "core/reports/LogRowText.h"

#include <QDateTime>

#include <algorithm>

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
    return device + QStringLiteral(" unplugged");
  case capture::EventKind::PluggedIn:
    return device + QStringLiteral(" plugged in");
  case capture::EventKind::ListeningStarted:
    return QStringLiteral("listening on %1 started").arg(source.displayName());
  case capture::EventKind::ListeningStopped:
    return QStringLiteral("listening on %1 stopped").arg(source.displayName());
  case capture::EventKind::PollingStarted:
    return QStringLiteral("polling %1 started").arg(source.displayName());
  case capture::EventKind::PollingStopped:
    return QStringLiteral("polling %1 stopped").arg(source.displayName());
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
    return QStringLiteral("listening started");
  case capture::EventKind::ListeningStopped:
    return QStringLiteral("listening stopped");
  case capture::EventKind::PollingStarted:
    return QStringLiteral("polling started");
  case capture::EventKind::PollingStopped:
    return QStringLiteral("polling stopped");
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

QByteArray IsoWallTime(int64_t unixUS) {
  const int64_t micro = ((unixUS % 1000) + 1000) % 1000;
  return QDateTime::fromMSecsSinceEpoch((unixUS - micro) / 1000, Qt::UTC)
             .toString("yyyy-MM-ddTHH:mm:ss.zzz")
             .toLatin1() +
         QByteArray::number(micro).rightJustified(3, '0') + 'Z';
}

QByteArray CsvRecord(const CsvRow &row) {
  QByteArray record;
  record.reserve(128);
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
  return record += "\r\n";
}
