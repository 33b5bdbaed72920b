// macro list and macro run: the explorer's stored macros, read from its
// preferences file as the explorer reads them (the six built-in macros when
// the file holds none), never written.
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Interfaces.h"
#include "cli/Output.h"

#include "core/JsonText.h"
#include "core/MacroEntry.h"
#include "core/ReportLine.h"
#include "core/ReportRecord.h"

#include "lib/PinworthLib.h"

namespace {

MacroList StoredMacros() {
  UserDefaults preferences(UserDefaults::standardFilePath(), kDefaultMacrosKey);
  RegisterDefaultMacros(preferences);
  return ReadMacros(preferences.list());
}

QString JsonLine(int index, const MacroEntry &macro) {
  const std::optional<ReportRecord> &record = macro.record();
  QString line = QStringLiteral("{\"index\":%1,\"name\":%2")
                     .arg(index)
                     .arg(QString::fromUtf8(json::Quote(macro.name())));
  if (record)
    line += QStringLiteral(",\"direction\":\"%1\",\"report_id\":%2,"
                           "\"data\":\"%3\"")
                .arg(record->direction,
                     record->reportID == kNoReportID
                         ? QStringLiteral("null")
                         : QString::number(record->reportID),
                     QString::fromLatin1(record->data.toHex(' ')));
  return line +
         (record ? QStringLiteral("}") : QStringLiteral(",\"usable\":false}"));
}

QString TextLine(int index, const MacroEntry &macro) {
  const std::optional<ReportRecord> &record = macro.record();
  return QStringLiteral("%1  %2  %3")
      .arg(index, 2)
      .arg(record ? QStringLiteral("%1  %2  %3")
                        .arg(record->direction, ReportIDText(record->reportID))
                        .arg(QString::fromLatin1(record->data.toHex(' ')), -20)
                  : QStringLiteral("(not usable)").leftJustified(28),
           macro.name());
}

// The interface a macro goes to: the one named, or else the only interface
// of its kind attached (an interface 1 for a report with an ID).
std::optional<ListedInterface> TargetOf(const Invocation &invocation,
                                        const ReportRecord &macro) {
  if (invocation.target.position || invocation.target.identity)
    return FindInterface(invocation.target);
  const int wanted = macro.reportID == kNoReportID ? 0 : 1;
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
  const MacroList macros = StoredMacros();
  for (int index = 0; index < macros.entries.size(); ++index)
    PrintLine(invocation.json ? JsonLine(index, macros.entries[index])
                              : TextLine(index, macros.entries[index]));
  return kExitSuccess;
}

// The first macro of the name; a written report only, as the explorer's
// Write sends it.
int RunMacro(const Invocation &invocation) {
  const MacroList macros = StoredMacros();
  const auto found = std::find_if(
      macros.entries.begin(), macros.entries.end(),
      [&](const MacroEntry &macro) { return macro.name() == invocation.text; });
  if (found == macros.entries.end()) {
    PrintError(QStringLiteral("no macro is named \"%1\" (pinworth macro list "
                              "shows them)")
                   .arg(invocation.text));
    return kExitBadArguments;
  }
  const std::optional<ReportRecord> &macro = found->record();
  if (!macro || macro->direction != kReportDirectionOut ||
      macro->reportID < kNoReportID || macro->reportID > 0xFF) {
    PrintError(QStringLiteral("the macro \"%1\" is not a report to write")
                   .arg(invocation.text));
    return kExitBadArguments;
  }
  const std::optional<ListedInterface> interface = TargetOf(invocation, *macro);
  if (!interface)
    return kExitNoSuchInterface;
  Invocation write = invocation;
  write.bytes = macro->data;
  if (macro->reportID != kNoReportID)
    write.bytes.prepend(char(macro->reportID));
  return WriteReport(write, *interface);
}
