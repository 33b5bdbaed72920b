#include "app/log/LogRowFormat.h"

#include "core/reports/LogRowText.h"
#include "core/reports/ReportDecoder.h"
#include "core/reports/ReportLine.h"

namespace explorer {

QString LogRowFormat::sourceText(const LogRow &row) const {
  static const QString kNone = QStringLiteral("-");
  return row.source < sourceTexts.size() ? sourceTexts[row.source] : kNone;
}

QString LogRowFormat::decodedText(const LogRow &row) const {
  if (row.isReport())
    return core::DecodeReport(row.isOutput(), row.reportID, row.data,
                              row.size());
  if (row.isLoss())
    return row.data[0] == LogRow::kMemoryFullLoss
               ? core::MemoryFullRowText(uint32_t(row.reportID))
               : core::LossRowText(uint32_t(row.reportID));
  if (LogEvent(row.data[0]) == LogEvent::CaptureStopped)
    return core::WritingStoppedRowText();
  const auto kind = capture::EventKind(row.data[0] + 1);
  return row.source < sources.size()
             ? core::EventRowText(kind, sources[row.source])
             : core::EventRowText(kind);
}

QString LogRowFormat::textLine(const LogRow &row) const {
  return core::ReportTextLine(secondsSinceStart(row), sourceText(row),
                              row.isLoss()     ? '!'
                              : row.isEvent()  ? 'E'
                              : row.isOutput() ? 'W'
                                               : 'R',
                              row.isReport() ? row.reportID : core::kNoReportID,
                              row.data, row.isReport() ? row.size() : 0,
                              decodedText(row));
}

QByteArray LogRowFormat::csvRecord(const LogRow &row) const {
  QByteArray record;
  record.reserve(128);
  appendCsvRecord(record, row);
  return record;
}

void LogRowFormat::appendCsvRecord(QByteArray &out, const LogRow &row) const {
  core::CsvRow csv;
  csv.seconds = secondsSinceStart(row);
  csv.unixUS = clockStartUnixUS + row.time;
  csv.source = sourceText(row);
  csv.direction = row.isLoss()     ? "lost"
                  : row.isEvent()  ? "event"
                  : row.isOutput() ? "W"
                                   : "R";
  if (row.isReport()) {
    csv.reportID = row.reportID;
    csv.data = row.data;
    csv.size = row.size();
  }
  csv.decoded = decodedText(row);
  core::AppendCsvRecord(out, csv);
}

} // namespace explorer
