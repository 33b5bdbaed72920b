// replay: the reports a capture wrote to interfaces of the target's number,
// in order, to the target: at the recorded gaps (divided by --speed), every
// --interval milliseconds, or with --interval 0 as fast as the device takes
// them, as the explorer's replay sends them (a sequence of ReplayPlan). Each
// report sent prints as write prints it; the first that fails stops the
// replay, naming its row.
#include "cli/CaptureInterfaces.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Output.h"
#include "cli/SequenceRun.h"

#include "capture/CaptureReader.h"
#include "core/interfaces/CaptureSources.h"
#include "core/reports/ReportRecord.h"
#include "core/runs/ReplayPlan.h"

namespace cli {

namespace {

struct Replayed {
  uint64_t row; // 1-based, as dump prints the capture's rows
  core::WrittenReport report;
  QString model; // of the interface it was written to
};

// Every kind of record dump prints is a row; an event's text records and
// kinds of a newer version are not.
bool IsRow(capture::RecordKind kind) {
  switch (kind) {
  case capture::RecordKind::Read:
  case capture::RecordKind::Written:
  case capture::RecordKind::Loss:
  case capture::RecordKind::Event:
  case capture::RecordKind::WritingStopped:
  case capture::RecordKind::Corrupt:
    return true;
  default:
    return false;
  }
}

QList<Replayed> WrittenTo(const capture::CaptureReader &reader,
                          int interfaceNumber) {
  QList<Replayed> written;
  uint64_t row = 0;
  for (uint64_t i = 0; i < reader.recordCount(); ++i) {
    const capture::Record record = reader.record(i);
    row += IsRow(record.kind);
    const std::optional<core::InterfaceIdentity> source =
        core::IdentityOfSource(reader.interfaces(), record.source);
    if (record.kind != capture::RecordKind::Written || !source ||
        source->interfaceNumber() != interfaceNumber)
      continue;
    const QByteArray data(reinterpret_cast<const char *>(record.data.data()),
                          record.size);
    written.append(
        {row,
         {record.timeUS,
          record.hasReportID ? record.reportID : core::kNoReportID, data},
         source->modelName()});
  }
  return written;
}

} // namespace

int ReplayWrites(const Invocation &invocation,
                 const ListedInterface &interface) {
  const std::unique_ptr<capture::CaptureReader> reader =
      OpenCapture(invocation.file, invocation.file);
  if (!reader)
    return kExitBadArguments;
  const int number = interface.identity.interfaceNumber();
  const QList<Replayed> written = WrittenTo(*reader, number);
  if (written.isEmpty()) {
    PrintError(QStringLiteral("%1 holds no report written to an interface %2")
                   .arg(invocation.file)
                   .arg(number));
    return kExitBadArguments;
  }
  const QString model = interface.identity.modelName();
  for (const Replayed &report : written)
    if (report.model != model) {
      PrintError(QStringLiteral("%1's reports were written to a %2; they go "
                                "to %3 all the same")
                     .arg(invocation.file, report.model,
                          interface.identity.displayName()));
      break;
    }

  const int size = ReportSizeOf(interface.identity);
  ReportPrinter printer(invocation.json);
  const core::ReplayTiming timing =
      invocation.replayIntervalMS
          ? core::ReplayTiming{core::ReplayTiming::Interval, 1,
                               *invocation.replayIntervalMS}
          : core::ReplayTiming{core::ReplayTiming::Recorded,
                               invocation.replaySpeed, 0};
  QList<core::WrittenReport> reports;
  for (const Replayed &replayed : written)
    reports.append(replayed.report);
  const auto send =
      [&](int index, const core::SequenceStep &step) -> std::optional<QString> {
    const QByteArray report = StepReport(step);
    if (report.size() > size) {
      PrintError(QStringLiteral("row %1 holds %2 bytes; %3 takes %4")
                     .arg(written[index].row)
                     .arg(report.size())
                     .arg(interface.identity.displayName())
                     .arg(size));
      return QStringLiteral("it does not fit");
    }
    return SendPadded(interface, report, printer);
  };
  return RunSequenceSteps(
      core::ReplaySequence(QStringLiteral("replay"), reports, timing), send,
      [&](const core::SequenceRunner::Outcome &outcome) {
        PrintError(QStringLiteral(
                       "replay stopped at row %1 of %2, %3 of %4 reports sent")
                       .arg(written[outcome.step].row)
                       .arg(invocation.file)
                       .arg(outcome.step)
                       .arg(written.size()));
      });
}

} // namespace cli
