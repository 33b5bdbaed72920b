#include "interop/CaptureCsv.h"

#include "capture/CaptureReader.h"
#include "core/interfaces/CaptureSources.h"
#include "core/reports/LogRowText.h"
#include "core/reports/ReportDecoder.h"
#include "core/reports/ReportLine.h"
#include "core/reports/ReportRecord.h"
#include "interop/ExportFile.h"

namespace interop {

CaptureCsv::CaptureCsv(const capture::CaptureReader &reader, ExportFile &file)
    : reader_(reader), file_(file) {}

void CaptureCsv::begin() {
  file_.append(core::CsvHeader().toStdString());
}

bool CaptureCsv::add(uint64_t i, const capture::Record &record) {
  const std::optional<core::InterfaceIdentity> source =
      core::IdentityOfSource(reader_.interfaces(), record.source);
  core::CsvRow row;
  switch (record.kind) {
  case capture::RecordKind::Read:
  case capture::RecordKind::Written:
    row.direction = record.kind == capture::RecordKind::Written ? "W" : "R";
    row.reportID = record.hasReportID ? record.reportID : core::kNoReportID;
    row.data = record.data.data();
    row.size = record.size;
    row.decoded =
        core::DecodeReport(record.kind == capture::RecordKind::Written,
                           row.reportID, row.data, row.size);
    break;
  case capture::RecordKind::Loss:
    row.direction = "lost";
    row.decoded = core::LossRowText(record.count);
    break;
  case capture::RecordKind::Event:
    row.direction = "event";
    if (source)
      row.decoded =
          core::EventRowText(capture::EventKind(record.eventKind), *source);
    if (const std::string text = reader_.eventText(i); !text.empty())
      row.decoded += QStringLiteral(": ") + QString::fromStdString(text);
    break;
  case capture::RecordKind::WritingStopped:
    row.direction = "event";
    row.decoded = core::WritingStoppedRowText();
    break;
  default: // an event's text, a corrupt record, a kind of a newer version
    return false;
  }
  row.seconds = double(record.timeUS) / 1e6;
  row.unixUS = TimeSum(reader_.header().startUnixUS, record.timeUS);
  row.source = source ? core::SourceText(*source) : QStringLiteral("-");
  file_.append(core::CsvRecord(row).toStdString());
  return true;
}

} // namespace interop
