// macro list and macro run: the explorer's stored macros and sequences, read
// from its preferences file as the explorer reads them (the built-in ones
// when the file holds none), never written.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Interfaces.h"
#include "cli/Output.h"
#include "cli/SequenceRun.h"

#include "core/reports/ReportLine.h"
#include "core/reports/ReportRecord.h"
#include "core/runs/MacroEntry.h"
#include "core/text/JsonText.h"

#include "lib/PinworthLib.h"

namespace cli {

namespace {

core::MacroList StoredMacros() {
  core::UserDefaults preferences(core::UserDefaults::standardFilePath(),
                                 core::kDefaultMacrosKey);
  core::RegisterDefaultMacros(preferences);
  return core::ReadMacros(preferences.list());
}

QList<core::SequenceEntry> StoredSequences() {
  core::UserDefaults preferences(core::UserDefaults::standardFilePath(),
                                 core::kSequencesKey);
  core::RegisterDefaultSequences(preferences);
  return core::ReadSequences(preferences.list());
}

QString RunsText(const core::Sequence &sequence) {
  if (sequence.everyMS)
    return QStringLiteral("every %1 ms").arg(*sequence.everyMS);
  return sequence.repeat == 1 ? QStringLiteral("once")
                              : QStringLiteral("%1 times").arg(sequence.repeat);
}

QString SequenceLine(bool json, int index, const core::SequenceEntry &entry) {
  const std::optional<core::Sequence> &sequence = entry.sequence();
  if (json)
    return QStringLiteral("{\"sequence\":%1,\"name\":%2,%3}")
        .arg(index)
        .arg(QString::fromUtf8(core::json::Quote(entry.name())),
             !sequence ? QStringLiteral("\"usable\":false")
             : sequence->everyMS
                 ? QStringLiteral("\"steps\":%1,\"every_ms\":%2")
                       .arg(sequence->steps.size())
                       .arg(*sequence->everyMS)
                 : QStringLiteral("\"steps\":%1,\"repeat\":%2")
                       .arg(sequence->steps.size())
                       .arg(sequence->repeat));
  return QStringLiteral("s%1  %2  %3")
      .arg(index, -2)
      .arg(sequence ? QStringLiteral("sequence of %1 steps, %2")
                          .arg(sequence->steps.size())
                          .arg(RunsText(*sequence))
                    : QStringLiteral("(not usable)"),
           -28)
      .arg(entry.name());
}

QString JsonLine(int index, const core::MacroEntry &macro) {
  const std::optional<core::ReportRecord> &record = macro.record();
  QString line = QStringLiteral("{\"index\":%1,\"name\":%2")
                     .arg(index)
                     .arg(QString::fromUtf8(core::json::Quote(macro.name())));
  if (record)
    line += QStringLiteral(",\"direction\":\"%1\",\"report_id\":%2,"
                           "\"data\":\"%3\"")
                .arg(record->direction,
                     record->reportID == core::kNoReportID
                         ? QStringLiteral("null")
                         : QString::number(record->reportID),
                     QString::fromLatin1(record->data.toHex(' ')));
  return line +
         (record ? QStringLiteral("}") : QStringLiteral(",\"usable\":false}"));
}

QString TextLine(int index, const core::MacroEntry &macro) {
  const std::optional<core::ReportRecord> &record = macro.record();
  return QStringLiteral("%1  %2  %3")
      .arg(index, 2)
      .arg(record ? QStringLiteral("%1  %2  %3")
                        .arg(record->direction,
                             core::ReportIDText(record->reportID))
                        .arg(QString::fromLatin1(record->data.toHex(' ')), -20)
                  : QStringLiteral("(not usable)").leftJustified(28),
           macro.name());
}

// The interface a macro goes to: the one named, or else the only interface
// of its kind attached (an interface 1 for a report with an ID).
std::optional<ListedInterface> TargetOf(const Invocation &invocation,
                                        int32_t reportID) {
  if (invocation.target.position || invocation.target.identity)
    return FindInterface(invocation.target);
  const int wanted = reportID == core::kNoReportID ? 0 : 1;
  QList<ListedInterface> fitting;
  for (int position = 0; position < PinworthCountInterfaces(); ++position) {
    const std::optional<ListedInterface> interface =
        FindInterface(InterfaceName{position, std::nullopt});
    if (interface && interface->identity.interfaceNumber() == wanted)
      fitting.append(*interface);
  }
  if (fitting.size() == 1)
    return fitting.first();
  QStringList keys;
  for (const ListedInterface &interface : fitting)
    keys << interface.identity.key();
  PrintError(
      QStringLiteral("the macro is for an interface %1, and %2 attached%3")
          .arg(wanted)
          .arg(fitting.isEmpty() ? QStringLiteral("none is")
                                 : QStringLiteral("%1 are").arg(keys.size()))
          .arg(fitting.isEmpty() ? QString()
                                 : QStringLiteral(" (%1): name one with --to")
                                       .arg(keys.join(QStringLiteral(", ")))));
  return std::nullopt;
}

} // namespace

int ListMacros(const Invocation &invocation) {
  const core::MacroList macros = StoredMacros();
  for (int index = 0; index < macros.entries.size(); ++index)
    PrintLine(invocation.json ? JsonLine(index, macros.entries[index])
                              : TextLine(index, macros.entries[index]));
  const QList<core::SequenceEntry> sequences = StoredSequences();
  for (int index = 0; index < sequences.size(); ++index)
    PrintLine(SequenceLine(invocation.json, index, sequences[index]));
  return kExitSuccess;
}

// The sequence's steps, each as a whole report for interface (padded with
// zeros), until the first that fails or a stop is requested.
int RunSequence(const Invocation &invocation, const core::Sequence &sequence) {
  const std::optional<ListedInterface> interface =
      TargetOf(invocation, sequence.steps[0].reportID);
  if (!interface)
    return kExitNoSuchInterface;
  ReportPrinter printer(invocation.json);
  const auto sendStep = [&](int, const core::SequenceStep &step) {
    return SendPadded(*interface, StepReport(step), printer);
  };
  StartReportClock();
  return RunSequenceSteps(
      sequence, sendStep, [&](const core::SequenceRunner::Outcome &outcome) {
        PrintError(QStringLiteral("the sequence \"%1\" stopped at step %2 of "
                                  "%3: %4")
                       .arg(sequence.name)
                       .arg(outcome.step + 1)
                       .arg(sequence.steps.size())
                       .arg(outcome.error));
      });
}

// The first macro of the name, else the first sequence; a macro is a
// written report only, as the explorer's Write sends it.
int RunMacro(const Invocation &invocation) {
  const core::MacroList macros = StoredMacros();
  const auto found = std::find_if(macros.entries.begin(), macros.entries.end(),
                                  [&](const core::MacroEntry &macro) {
                                    return macro.name() == invocation.text;
                                  });
  if (found == macros.entries.end()) {
    for (const core::SequenceEntry &entry : StoredSequences())
      if (entry.sequence() && entry.name() == invocation.text)
        return RunSequence(invocation, *entry.sequence());
    PrintError(QStringLiteral("no macro is named \"%1\" (pinworth macro list "
                              "shows them)")
                   .arg(invocation.text));
    return kExitBadArguments;
  }
  const std::optional<core::ReportRecord> &macro = found->record();
  if (!macro || macro->direction != core::kReportDirectionOut ||
      macro->reportID < core::kNoReportID || macro->reportID > 0xFF) {
    PrintError(QStringLiteral("the macro \"%1\" is not a report to write")
                   .arg(invocation.text));
    return kExitBadArguments;
  }
  const std::optional<ListedInterface> interface =
      TargetOf(invocation, macro->reportID);
  if (!interface)
    return kExitNoSuchInterface;
  Invocation write = invocation;
  write.bytes = macro->data;
  if (macro->reportID != core::kNoReportID)
    write.bytes.prepend(char(macro->reportID));
  return WriteReport(write, *interface);
}

} // namespace cli
