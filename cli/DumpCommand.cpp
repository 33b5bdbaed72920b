// dump: a capture as log lines, reports as pinworth prints them, gaps as
// "!" lines and events (unplugged, listening started, disk writing stopped,
// ...) as "*" lines; or as JSON objects, one a line.
#include "cli/CaptureInterfaces.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/StopRequests.h"

#include "capture/CaptureReader.h"
#include "core/interfaces/CaptureSources.h"
#include "core/reports/ReportRecord.h"

#include <cstring>

namespace cli {

namespace {

void PrintRecord(ReportPrinter &printer, const capture::CaptureReader &reader,
                 uint64_t i) {
  const capture::Record record = reader.record(i);
  const double seconds = double(record.timeUS) / 1e6;
  const std::optional<core::InterfaceIdentity> source =
      core::IdentityOfSource(reader.interfaces(), record.source);
  switch (record.kind) {
  case capture::RecordKind::Read:
  case capture::RecordKind::Written:
    printer.printAt(seconds, record.kind == capture::RecordKind::Written,
                    record.hasReportID ? record.reportID : core::kNoReportID,
                    record.data.data(), record.size, source);
    return;
  case capture::RecordKind::Loss:
    printer.printLossAt(
        seconds, record.count, source,
        QStringLiteral("%1 reports lost while recording").arg(record.count));
    return;
  case capture::RecordKind::Event:
    printer.printEvent(
        seconds, source,
        QString::fromStdString(capture::EventKindText(record.eventKind)),
        QString::fromUtf8(reader.eventText(i)));
    return;
  case capture::RecordKind::WritingStopped:
    printer.printEvent(
        seconds, std::nullopt, QStringLiteral("disk writing stopped"),
        QString::fromLocal8Bit(std::strerror(int(record.count))));
    return;
  case capture::RecordKind::Corrupt:
    printer.printEvent(seconds, std::nullopt,
                       QStringLiteral("record %1 is corrupt").arg(i), {});
    return;
  default: // an event's text, printed with it, or a kind of a newer version
    return;
  }
}

} // namespace

int DumpCapture(const Invocation &invocation) {
  const std::unique_ptr<capture::CaptureReader> reader =
      OpenCapture(invocation.file, invocation.file);
  if (!reader)
    return kExitBadArguments;
  ReportPrinter printer(invocation.json);
  uint64_t withoutInterface = 0;
  for (uint64_t i = 0; i < reader->recordCount() && !StopRequested(); ++i) {
    PrintRecord(printer, *reader, i);
    const uint16_t source = reader->record(i).source;
    withoutInterface +=
        source != capture::kNoSource && source >= reader->interfaces().size();
  }
  if (const uint64_t dropped = reader->droppedTailBytes())
    PrintError(QStringLiteral("%1 was cut short: its last %2 bytes hold no "
                              "whole record and were not printed (%3 "
                              "records were)")
                   .arg(invocation.file)
                   .arg(dropped)
                   .arg(reader->recordCount()));
  if (reader->tableDamaged())
    PrintError(QStringLiteral("%1: the interface table is damaged: %2 "
                              "records name an interface it does not hold "
                              "and are printed without their source")
                   .arg(invocation.file)
                   .arg(withoutInterface));
  return StopRequested() ? kExitInterrupted : kExitSuccess;
}

} // namespace cli
